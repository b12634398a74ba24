#include <gtest/gtest.h>

#include <cstring>

#include "output/acmparams.h"

namespace {
std::uint32_t Le32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::uint16_t Le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
}  // namespace

TEST(Mp3FormatTable, OnlyOfferedBitratesAreFound) {
    EXPECT_EQ(FindMp3FormatRow(8000), nullptr);
    EXPECT_EQ(FindMp3FormatRow(16000), nullptr);
    EXPECT_EQ(FindMp3FormatRow(0), nullptr);
    EXPECT_EQ(FindMp3FormatRow(128001), nullptr);
    const TMp3FormatRow* row = FindMp3FormatRow(56000);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->SampleRate, 22050u);
    EXPECT_EQ(row->BlockSize, 182);
    // Every offered row: 1152 samples per frame (576 below 32 kHz) at the
    // row's bitrate make the block size, rounded down.
    for (const auto& r : Mp3FormatTable) {
        if (!r.SampleRate) continue;
        SCOPED_TRACE(r.BitsPerSecond);
        const unsigned samples = r.SampleRate >= 32000 ? 1152 : 576;
        EXPECT_EQ(r.BlockSize, samples * r.BitsPerSecond / 8 / r.SampleRate);
        EXPECT_EQ(FindMp3FormatRow(r.BitsPerSecond), &r);
    }
}

TEST(Mp3FormatTable, BuildsTheLayer3Format) {
    std::uint8_t f[Mp3FormatSize];
    BuildMp3Format(*FindMp3FormatRow(128000), f);
    EXPECT_EQ(Le16(f + 0), 0x55);
    EXPECT_EQ(Le16(f + 2), 2);
    EXPECT_EQ(Le32(f + 4), 44100u);
    EXPECT_EQ(Le32(f + 8), 16000u);
    EXPECT_EQ(Le16(f + 12), 1);
    EXPECT_EQ(Le16(f + 14), 0);
    EXPECT_EQ(Le16(f + 16), 12);
    EXPECT_EQ(Le16(f + 18), 1);
    EXPECT_EQ(Le32(f + 20), 2u);
    EXPECT_EQ(Le16(f + 24), 417);
    EXPECT_EQ(Le16(f + 26), 1);
    EXPECT_EQ(Le16(f + 28), 1393);
    TWaveFormatHead head;
    std::memcpy(&head, f, sizeof head);
    EXPECT_TRUE(FormatFitsBlock(head));
}

TEST(AcmBuffering, ThresholdsStayInsideTheSourceBuffer) {
    EXPECT_EQ(RefillPercentFor(176400, 176400), 100);
    EXPECT_EQ(RefillPercentFor(176400, 88200), 100);             // 22,050 Hz stereo
    EXPECT_EQ(RefillPercentFor(176400, 192000), 110);            // 48 kHz stereo
    EXPECT_EQ(RefillPercentFor(176400, 384000), 55);             // 96 kHz stereo
    EXPECT_EQ(SourceThreshold(100), 524287u);
    EXPECT_EQ(SourceThreshold(110), 52428800u / 110 - 1);
    // Below 100 the plain rule would pass the 524,288-byte buffer.
    EXPECT_EQ(SourceThreshold(55), AcmSrcBufSize - 1);
    EXPECT_EQ(SourceThreshold(0), AcmSrcBufSize - 1);
}

TEST(AcmBuffering, FactCountsTargetSamples) {
    EXPECT_EQ(FactSampleCount(1000000, 44100, 22050), 500000u);
    EXPECT_EQ(FactSampleCount(1000000, 44100, 44100), 1000000u);
    // 1,000,000 frames at 48 kHz are 1,088,435 samples; dividing 44,100,000
    // by the rate first would give 1,089,324.
    EXPECT_EQ(FactSampleCount(1000000, 44100, 48000), 1088435u);
    EXPECT_EQ(FactSampleCount(1000000, 44100, 8000), 181405u);
    EXPECT_EQ(FactSampleCount(0, 44100, 8000), 0u);
    EXPECT_EQ(FactSampleCount(5, 0, 8000), 0u);
    // Huge counts keep their low 32 bits without overflowing on the way.
    const std::uint64_t frames = (std::uint64_t(1) << 41) + 3;
    EXPECT_EQ(FactSampleCount(frames, 44100, 88200), std::uint32_t(frames * 2));
}

TEST(AcmBuffering, FormatBlockHoldsTheExtraBytes) {
    TWaveFormatHead f{};
    f.cbSize = 256 - 18;
    EXPECT_TRUE(FormatFitsBlock(f));
    f.cbSize = 256 - 18 + 1;
    EXPECT_FALSE(FormatFitsBlock(f));
    f.cbSize = 0xFFFF;
    EXPECT_FALSE(FormatFitsBlock(f));
}

TEST(PipeCommandLine, QuotesTheFileAndAPathWithBlanks) {
    EXPECT_EQ(BuildPipeCommandLine("C:\\enc\\lame.exe", "-b 128 -r -x - ", "D:\\out\\a b.mp3"),
              "C:\\enc\\lame.exe -b 128 -r -x -  \"D:\\out\\a b.mp3\"");
    EXPECT_EQ(BuildPipeCommandLine("C:\\Program Files\\lame.exe", "-h", "x.mp3"),
              "\"C:\\Program Files\\lame.exe\" -h \"x.mp3\"");
    EXPECT_EQ(BuildPipeCommandLine("\"C:\\Program Files\\lame.exe\"", "", "x.mp3"),
              "\"C:\\Program Files\\lame.exe\"  \"x.mp3\"");
    // 0x82 0x20 is no blank: the second byte belongs to the character.
    const std::string sjisPath = "C:\\\x83\x5C\x83\x74\x83\x67\\enc.exe";
    EXPECT_EQ(BuildPipeCommandLine(sjisPath, "", "x"), sjisPath + "  \"x\"");
}

namespace {
TEncoderOptionSettings Settings(TExtEncoderType style, int bitrateIndex) {
    TEncoderOptionSettings s;
    s.UseStdin = style == eetLameStdin;
    s.UseL3Enc = !s.UseStdin;
    s.ProgramExists = true;
    s.Style = style;
    s.BitrateIndex = bitrateIndex;
    return s;
}
}  // namespace

TEST(EncoderOptions, NoExternalEncoderNeedsNone) {
    TEncoderOptionSettings s;
    const auto r = BuildEncoderOptions(s);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Options, "");
}

TEST(EncoderOptions, MissingProgramIsReported) {
    auto s = Settings(eetL3Enc, 8);
    s.ProgramExists = false;
    const auto r = BuildEncoderOptions(s);
    EXPECT_FALSE(r.Ok);
    EXPECT_STREQ(r.Message.c_str(), MsgEncoderNotFound);
}

TEST(EncoderOptions, OriginalOptionsAreTakenAsTheyAre) {
    auto s = Settings(eetSCMPX, 2);  // even a combination SCMPX refuses
    s.UseOriginalOption = true;
    s.OptionText = "--preset standard";
    const auto r = BuildEncoderOptions(s);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Options, "--preset standard");
}

TEST(EncoderOptions, EachCommandStyle) {
    auto s = Settings(eetL3Enc, 8);
    EXPECT_EQ(BuildEncoderOptions(s).Options, "-br 128000");
    s.Crc = s.Hq = true;
    s.AdditionalOption = true;
    s.OptionText = "-x";
    EXPECT_EQ(BuildEncoderOptions(s).Options, "-crc -hq -br 128000 -x ");

    s = Settings(eet8hz, 12);
    EXPECT_EQ(BuildEncoderOptions(s).Options, "-b 320");
    s.Crc = true;
    EXPECT_EQ(BuildEncoderOptions(s).Options, "-c -b 320");

    s = Settings(eetLameStdin, 9);
    EXPECT_EQ(BuildEncoderOptions(s).Options, "-b 160 -r -x - ");
    s.Hq = s.Crc = s.Vbr = true;
    s.VbrLevel = 4;
    EXPECT_EQ(BuildEncoderOptions(s).Options, "-h -p -v -V 4 -B 160 -r -x - ");
    s.AdditionalOption = true;
    s.OptionText = "--tt x";
    EXPECT_EQ(BuildEncoderOptions(s).Options, "-h -p -v -V 4 -B 160 --tt x  -r -x - ");
}

TEST(EncoderOptions, ScmpxBitrateIndexes) {
    auto s = Settings(eetSCMPX, 8);  // 128 kbit/s
    s.ScmpxLayer = 3;
    auto r = BuildEncoderOptions(s);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Options, "/e /l3 /b9");
    s.Vbr = s.Crc = true;
    EXPECT_EQ(BuildEncoderOptions(s).Options, "/e /c /b9 /vbr ");
    s = Settings(eetSCMPX, 2);  // 24 kbit/s
    r = BuildEncoderOptions(s);
    EXPECT_FALSE(r.Ok);
    EXPECT_STREQ(r.Message.c_str(), MsgScmpxBitrate);
    s = Settings(eetSCMPX, 4);  // 56 kbit/s: not with Layer-1
    s.ScmpxLayer = 1;
    EXPECT_FALSE(BuildEncoderOptions(s).Ok);
    s.ScmpxLayer = 2;
    EXPECT_EQ(BuildEncoderOptions(s).Options, "/e /l2 /b3");
    EXPECT_EQ(ScmpxBitrateIndex(1, 12), 10);
    EXPECT_EQ(ScmpxBitrateIndex(2, 12), 13);
    EXPECT_EQ(ScmpxBitrateIndex(3, 12), 14);
    EXPECT_EQ(ScmpxBitrateIndex(0, 8), -1);
    EXPECT_EQ(ScmpxBitrateIndex(4, 8), -1);
    EXPECT_EQ(ScmpxBitrateIndex(3, 13), -1);
}

TEST(RiffInfo, BlockIsCodeTextAndZero) {
    const auto b = RiffInfoBlock("INAM", "Song");
    EXPECT_EQ(b, (std::vector<std::uint8_t>{'I', 'N', 'A', 'M', 'S', 'o', 'n', 'g', 0}));
    EXPECT_EQ(RiffInfoBlock("ICMT", "").size(), 5u);
    // Cut to 255 bytes without splitting a double-byte character.
    std::string longText(254, 'a');
    longText += "\x82\xA0";  // あ: would end at byte 256
    const auto cut = RiffInfoBlock("ISFT", longText);
    EXPECT_EQ(cut.size(), 254u + 5);
    EXPECT_EQ(cut.back(), 0);
}

TEST(RiffInfo, YearNumber) {
    EXPECT_EQ(YearNumber("1999"), 1999);
    EXPECT_EQ(YearNumber("  2001"), 2001);
    EXPECT_EQ(YearNumber("-5"), -5);
    EXPECT_EQ(YearNumber(""), 0);
    EXPECT_EQ(YearNumber("19x9"), 0);
    EXPECT_EQ(YearNumber("1999 "), 0);
    EXPECT_EQ(YearNumber("99999999999"), 0);
    EXPECT_EQ(YearNumber("+"), 0);
}
