// The benchmark report: the platform line of each system family, and the
// layout of the text with the window's Japanese captions (this file is
// compiled to code page 932, as the program's texts are).
#include <gtest/gtest.h>

#include <sstream>

#include "extraction/benchreport.h"

using namespace wx;

TEST(BenchReport, PlatformLineOfEachSystem) {
    TOsVersion v;
    EXPECT_EQ(PlatformLine(v), "Platform is ");
    v.Known = true;
    v.Major = 4;
    v.Minor = 0;
    v.Build = (4u << 24) | 950;  // 9x keeps the version in the high word
    EXPECT_EQ(PlatformLine(v), "Platform is Windows95 Build 950");
    v.Build = (4u << 24) | 1111;
    EXPECT_EQ(PlatformLine(v), "Platform is Windows95 OSR2 Build 1111");
    v.Minor = 10;
    v.Build = (4u << 24) | (10u << 16) | 2222;
    EXPECT_EQ(PlatformLine(v), "Platform is Windows98 Build 2222");
    v.Nt = true;
    v.Major = 4;
    v.Minor = 0;
    v.Build = 1381;
    v.ServicePack = "Service Pack 6";
    EXPECT_EQ(PlatformLine(v), "Platform is WindowsNT 4.0 Build 1381 (Service Pack 6)");
    v.Major = 5;
    v.Build = 2195;
    v.ServicePack = "";
    EXPECT_EQ(PlatformLine(v), "Platform is Windows2000 Build 2195 ()");
}

TEST(BenchReport, LinesAndTheCaptionColumn) {
    EXPECT_EQ(PadRight("abc", 5), "abc  ");
    EXPECT_EQ(PadRight("abcdef", 5), "abcdef");
    TBenchReport r;
    r.Platform = "Platform is Windows98 Build 2222";
    r.Date = "2001/02/03 4:05:06";
    r.Drive = "PLEXTOR CD-ROM";
    r.Setup = {{"読み出し方法", "PLEXTOR"},       {"1回の読み出しフレーム数", "26 Frames"},
               {"使用するAPI", "Windows ASPI API set"}, {"計測するサイズ", "3485664 バイト (00:19:57)"},
               {"計測領域（内周）", "00:00:00 - 00:19:56"}, {"計測領域（外周）", "00:03:18 - 00:23:00"}};
    r.NormalHeading = "通常読み出し性能";
    r.NormalInner = {"速度（内周）", "1.000"};
    r.NormalOuter = {"速度（外周）", "2.000"};
    r.BurstHeading = "バースト読み出し性能";
    r.BurstInner = {"速度（内周）", "計測せず"};
    r.BurstOuter = {"速度（外周）", "計測せず"};
    const std::string text = BenchmarkReportText(r);
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        ASSERT_FALSE(l.empty());
        ASSERT_EQ(l.back(), '\r') << "a line without CR LF";
        lines.push_back(l.substr(0, l.size() - 1));
    }
    ASSERT_EQ(lines.size(), 23u);
    EXPECT_EQ(lines[0], "Wendrix CD-DA Ripping Benchmark version 1.0");
    EXPECT_EQ(lines[1], r.Platform);
    EXPECT_EQ(lines[2], "Test Date : 2001/02/03 4:05:06");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "Target Drive - PLEXTOR CD-ROM");
    EXPECT_EQ(lines[5], std::string(64, '-'));
    // The values start at byte 26 whatever the caption.
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(lines[std::size_t(6 + i)].substr(0, r.Setup[std::size_t(i)].first.size()), r.Setup[std::size_t(i)].first);
        EXPECT_EQ(lines[std::size_t(6 + i)].substr(26), r.Setup[std::size_t(i)].second);
    }
    EXPECT_EQ(lines[12], "");
    EXPECT_EQ(lines[13], "通常読み出し性能");
    EXPECT_EQ(lines[14], std::string(64, '-'));
    EXPECT_EQ(lines[15], "速度（内周）    1.000");
    EXPECT_EQ(lines[16], "速度（外周）    2.000");
    EXPECT_EQ(lines[18], "バースト読み出し性能");
    EXPECT_EQ(lines[21], "速度（外周）    計測せず");
    EXPECT_EQ(lines[22], "");
}
