// The emulated drive against libcdio's own reading of the same image:
// cd-info for the table of contents and CD-TEXT, cd-read for single sectors,
// cd-paranoia for a whole track.  Host only (the tools are Linux programs).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "standins/mmcdrive/MmcDrive.h"
#include "standins/tests/TestImage.h"
#include "tests/runtool.h"

using namespace wx::emu;
using namespace wx::testimg;
using wxtest::HaveTool;
using wxtest::RunTool;

namespace {

struct CrossCheck : ::testing::Test {
    TempDir dir;
    std::shared_ptr<Disc> disc;
    std::unique_ptr<MmcDrive> drive;

    void SetUp() override {
        for (const char* t : {"cd-info", "cd-read", "cd-paranoia"})
            ASSERT_TRUE(HaveTool(t)) << t << " is missing: run scripts/setup";
        WriteBin(dir.File("x.bin"), 2000);
        // No PREGAP here: libcdio does not insert PREGAP silence.
        WriteText(dir.File("x.cue"),
                  "TITLE \"Cross Album\"\nPERFORMER \"Cross Artist\"\nFILE \"x.bin\" BINARY\n"
                  "  TRACK 01 AUDIO\n    TITLE \"Alpha\"\n    INDEX 01 00:00:00\n"
                  "  TRACK 02 AUDIO\n    FLAGS PRE\n    TITLE \"Beta\"\n    PERFORMER \"Guest\"\n"
                  "    INDEX 00 00:05:00\n    INDEX 01 00:07:00\n"
                  "  TRACK 03 AUDIO\n    FLAGS DCP\n    TITLE \"Gamma\"\n    INDEX 01 00:15:10\n"
                  "  TRACK 04 AUDIO\n    FLAGS PRE DCP\n    INDEX 01 00:20:00\n");
        std::string err;
        disc = Disc::LoadCue(dir.File("x.cue"), {}, err);
        ASSERT_TRUE(disc) << err;
        drive = std::make_unique<MmcDrive>();
        drive->Load(disc);
        std::uint8_t tur[6] = {};
        drive->Execute(0, tur, 6, nullptr, 0, true);
    }

    std::vector<std::uint8_t> Exec(std::vector<std::uint8_t> cdb, std::uint32_t len) {
        std::vector<std::uint8_t> buf(len);
        ExecResult r = drive->Execute(0, cdb.data(), int(cdb.size()), buf.data(), len, true);
        EXPECT_TRUE(r.good());
        buf.resize(r.transferred);
        return buf;
    }
};

TEST_F(CrossCheck, TableOfContentsAndFlagsMatchCdInfo) {
    std::string out = RunTool("cd-info --no-cddb --no-device-info --no-header --cue-file " + dir.File("x.cue"));
    // "  2: 00:09:00  000525 audio  false  no    2        yes"
    std::regex row(R"(^\s*(\d+): (\d\d):(\d\d):(\d\d)\s+(\d+) (audio|leadout)(?:\s+\S+\s+(yes|no)\s+\d+\s+(yes|no))?)");
    std::map<int, std::smatch> rows;
    std::istringstream in(out);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line)) lines.push_back(line);
    int seen = 0;
    auto lba = Exec({0x43, 0, 0, 0, 0, 0, 1, 0x0F, 0x00, 0}, 3840);
    auto msf = Exec({0x43, 2, 0, 0, 0, 0, 1, 0x0F, 0x00, 0}, 3840);
    ASSERT_EQ(lba[3], 4);
    for (auto& l : lines) {
        std::smatch m;
        if (!std::regex_search(l, m, row)) continue;
        int track = std::stoi(m[1]);
        int idx = track == 170 ? 4 : track - 1;  // the lead-out is the fifth descriptor
        const std::uint8_t* dl = &lba[4 + 8 * idx];
        const std::uint8_t* dm = &msf[4 + 8 * idx];
        EXPECT_EQ(dl[2], track == 170 ? 0xAA : track);
        std::uint32_t ours = std::uint32_t(dl[4] << 24 | dl[5] << 16 | dl[6] << 8 | dl[7]);
        EXPECT_EQ(ours, std::stoul(m[5])) << l;
        EXPECT_EQ(dm[5], std::stoi(m[2])) << l;
        EXPECT_EQ(dm[6], std::stoi(m[3])) << l;
        EXPECT_EQ(dm[7], std::stoi(m[4])) << l;
        if (track != 170) {
            EXPECT_EQ((dl[1] & 0x02) != 0, m[7] == "yes") << "copy flag: " << l;
            EXPECT_EQ((dl[1] & 0x01) != 0, m[8] == "yes") << "pre-emphasis: " << l;
        }
        ++seen;
    }
    EXPECT_EQ(seen, 5) << out;
}

TEST_F(CrossCheck, CdTextMatchesCdInfo) {
    std::string out = RunTool("cd-info --no-cddb --no-device-info --no-header --cue-file " + dir.File("x.cue"));
    // Decode our packs the simple way: the title and performer strings.
    auto a = Exec({0x43, 0, 5, 0, 0, 0, 0, 0x20, 0x00, 0}, 0x4000);
    std::map<int, std::string> streams;
    for (std::size_t p = 4; p + 18 <= a.size(); p += 18)
        if (a[p] == 0x80 || a[p] == 0x81) streams[a[p]].append(reinterpret_cast<char*>(&a[p + 4]), 12);
    auto split = [](const std::string& s) {
        std::vector<std::string> v;
        std::string cur;
        for (char c : s) {
            if (c == 0) {
                v.push_back(cur);
                cur.clear();
            } else {
                cur += c;
            }
        }
        return v;
    };
    auto titles = split(streams[0x80]);
    auto performers = split(streams[0x81]);
    ASSERT_GE(titles.size(), 5u);
    ASSERT_GE(performers.size(), 5u);
    EXPECT_NE(out.find("TITLE: " + titles[0]), std::string::npos) << out;
    for (int t = 1; t <= 3; ++t) {
        auto at = out.find("CD-TEXT for Track  " + std::to_string(t) + ":");
        ASSERT_NE(at, std::string::npos) << out;
        EXPECT_NE(out.find("TITLE: " + titles[t], at), std::string::npos);
    }
    EXPECT_EQ(titles[2], "Beta");
    EXPECT_EQ(performers[2], "Guest");
    EXPECT_EQ(performers[0], "Cross Artist");
}

TEST_F(CrossCheck, SectorsMatchCdRead) {
    for (std::int32_t lba : {0, 374, 375, 1200, 1999}) {
        std::string file = dir.File("s" + std::to_string(lba) + ".raw");
        RunTool("cd-read --no-header --cue-file " + dir.File("x.cue") + " --mode audio --start " +
                std::to_string(lba) + " --number 1 --output-file " + file);
        std::ifstream in(file, std::ios::binary);
        std::vector<std::uint8_t> theirs((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(theirs.size(), 2352u) << "cd-read gave nothing for " << lba;
        auto ours = Exec({0xBE, 4, std::uint8_t(lba >> 24), std::uint8_t(lba >> 16), std::uint8_t(lba >> 8),
                          std::uint8_t(lba), 0, 0, 1, 0x10, 0, 0},
                         2352);
        EXPECT_EQ(ours, theirs) << "sector " << lba;
    }
}

TEST_F(CrossCheck, WholeTrackMatchesCdParanoia) {
    std::string wav = dir.File("t3.wav");
    RunTool("cd-paranoia -q -d " + dir.File("x.cue") + " -w 3 " + wav);
    std::ifstream in(wav, std::ios::binary);
    std::vector<std::uint8_t> theirs((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(theirs.size(), 44u);
    theirs.erase(theirs.begin(), theirs.begin() + 44);
    const TrackInfo* t = disc->TrackByNumber(3);
    std::int32_t n = t->endLba - t->startLba;
    ASSERT_EQ(theirs.size(), std::size_t(n) * 2352);
    std::vector<std::uint8_t> ours;
    for (std::int32_t l = t->startLba; l < t->endLba; l += 20) {
        std::int32_t k = std::min(20, t->endLba - l);
        auto part = Exec({0xD8, 0, std::uint8_t(l >> 24), std::uint8_t(l >> 16), std::uint8_t(l >> 8), std::uint8_t(l),
                          0, 0, 0, std::uint8_t(k), 0, 0},
                         std::uint32_t(k) * 2352);
        ours.insert(ours.end(), part.begin(), part.end());
    }
    EXPECT_TRUE(ours == theirs);
}

}  // namespace
