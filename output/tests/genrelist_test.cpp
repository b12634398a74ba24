#include "output/genrelist.h"

#include <gtest/gtest.h>

#include "output/mp3defs.h"

namespace {
class GenreLists : public ::testing::Test {
protected:
    void SetUp() override { ResetGenreSettings(); }
    void TearDown() override { ResetGenreSettings(); }
};
}  // namespace

TEST_F(GenreLists, DisplaySetPlusCurrentInNumberOrder) {
    GenreDisplaySet.set(17);
    GenreDisplaySet.set(8);
    GenreDisplaySet.set(0);
    EXPECT_EQ(GenreListItems(false, 146), (std::vector<std::string>{"-None-", "Blues", "Jazz", "Rock", "JPop"}));
    EXPECT_EQ(GenreListItems(false, -1), (std::vector<std::string>{"-None-", "Blues", "Jazz", "Rock"}));
    const auto all = GenreListItems(true, -1);
    ASSERT_EQ(all.size(), 257u);
    EXPECT_EQ(all[1], "Blues");
    EXPECT_EQ(all[149], GetGenreName(148));  // the undefined text
    EXPECT_EQ(all[256], "Anime(J)");
    UserGenreNames[8] = "my jazz";
    EXPECT_EQ(GenreListItems(false, -1)[2], "my jazz");
}

TEST_F(GenreLists, SortKeepsNoneFirst) {
    std::vector<std::string> items{"-None-", "Rock", "blues", "Ambient", "JPop"};
    SortGenreItems(items);
    EXPECT_EQ(items, (std::vector<std::string>{"-None-", "Ambient", "blues", "JPop", "Rock"}));
    EXPECT_EQ(IndexOfGenreItem(items, "JPop"), 3);
    EXPECT_EQ(IndexOfGenreItem(items, "jpop"), -1);
}

TEST_F(GenreLists, SelectionToGenreNumber) {
    EXPECT_EQ(GenreOfSelection("Rock", false), 17);
    EXPECT_EQ(GenreOfSelection("Rock", true), 17);
    EXPECT_EQ(GenreOfSelection("-None-", true), -1);
    EXPECT_EQ(GenreOfSelection("-None-", false), 148);  // first number without a name
    UserGenreNames[148] = "Mine";
    EXPECT_EQ(GenreOfSelection("-None-", false), 149);
    EXPECT_EQ(GenreOfSelection("Mine", false), 148);
}

TEST(DialogPlacement, CentredOnTheMainWindowsMonitor) {
    const std::vector<TMonitorArea> two{{0, 0, 1280, 1024}, {1280, 0, 1920, 1080}};
    // Main window on the first monitor.
    TPlace p = CenterOnMonitor(two, 100, 100, 301, 201);
    EXPECT_EQ(p.Left, 640 - 150);
    EXPECT_EQ(p.Top, 512 - 100);
    // The first monitor whose right edge lies right of the main window's left
    // and whose bottom lies below its top: the second one.
    p = CenterOnMonitor(two, 1500, 50, 300, 200);
    EXPECT_EQ(p.Left, 1280 + 960 - 150);
    EXPECT_EQ(p.Top, 540 - 100);
    // Nowhere: monitor 0.  A dialog larger than the monitor keeps to its
    // left and top edges.
    p = CenterOnMonitor(two, 5000, 5000, 3000, 2000);
    EXPECT_EQ(p.Left, 0);
    EXPECT_EQ(p.Top, 0);
    // Monitors left of and above the primary one.
    const std::vector<TMonitorArea> left{{-1024, -100, 1024, 768}, {0, 0, 800, 600}};
    p = CenterOnMonitor(left, -500, 0, 100, 100);
    EXPECT_EQ(p.Left, -1024 + 512 - 50);
    EXPECT_EQ(p.Top, -100 + 384 - 50);
    EXPECT_EQ(CenterOnMonitor({}, 0, 0, 10, 10).Left, 0);
}
