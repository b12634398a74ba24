// Our disc IDs against libdiscid's FreeDB ids for the same tables of contents.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>

#include "discinfo/discid.h"

namespace wx {
namespace {

struct TToc {
    std::vector<std::int32_t> tracks;
    std::int32_t leadOut;
};

// Runs the reference program on every table, one id (or "error") per table.
std::vector<std::string> ReferenceIds(const std::vector<TToc>& tocs) {
    const std::string input =
        testing::TempDir() + "wx_discid_ref_" + std::to_string(std::random_device{}()) + ".txt";
    {
        std::FILE* f = std::fopen(input.c_str(), "w");
        for (const TToc& t : tocs) {
            std::fprintf(f, "%d", t.leadOut);
            for (auto o : t.tracks) std::fprintf(f, " %d", o);
            std::fprintf(f, "\n");
        }
        std::fclose(f);
    }
    const char* ref = std::getenv("WX_DISCID_REF");
    EXPECT_NE(ref, nullptr);
    std::vector<std::string> ids;
    if (!ref) return ids;
    std::FILE* p = popen((std::string(ref) + " < " + input).c_str(), "r");
    char line[64];
    while (p && std::fgets(line, sizeof line, p)) {
        std::string s = line;
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        ids.push_back(s);
    }
    if (p) pclose(p);
    std::remove(input.c_str());
    return ids;
}

TEST(DiscIdReference, KnownShapesAndRandomTablesMatchLibdiscid) {
    std::vector<TToc> tocs = {
        {{150}, 13500},                                      // one track, 3 minutes
        {{150, 18000}, 22500},                               // two tracks
        {{182, 20675, 38462, 58300, 79912}, 99420},          // track 1 after a pause
        {{150, 150 + 74, 150 + 75 * 2 + 1}, 150 + 75 * 4},   // seconds boundaries
    };
    // 99 tracks up to the 80-minute mark.
    TToc full;
    for (int i = 0; i < 99; ++i) full.tracks.push_back(150 + i * 3600);
    full.leadOut = 150 + 99 * 3600;
    tocs.push_back(full);
    std::mt19937 rng(8);
    for (int i = 0; i < 300; ++i) {
        TToc t;
        const int n = std::uniform_int_distribution<int>(1, 99)(rng);
        std::int32_t at = std::uniform_int_distribution<int>(150, 2000)(rng);
        for (int k = 0; k < n; ++k) {
            t.tracks.push_back(at);
            at += std::uniform_int_distribution<int>(75 * 4, 330000 / n)(rng);
        }
        t.leadOut = at;
        tocs.push_back(t);
    }
    const auto ref = ReferenceIds(tocs);
    ASSERT_EQ(ref.size(), tocs.size());
    for (std::size_t i = 0; i < tocs.size(); ++i) {
        ASSERT_NE(ref[i], "error") << "table " << i;
        const std::uint32_t ours = CddbDiscId(tocs[i].tracks, tocs[i].leadOut);
        char padded[16];
        std::snprintf(padded, sizeof padded, "%08x", ours);
        EXPECT_EQ(padded, ref[i]) << "table " << i;
        // The text we send is the same number without leading zeros.
        EXPECT_EQ(std::stoul(CddbDiscIdText(ours), nullptr, 16), ours);
    }
}

}  // namespace
}  // namespace wx
