#include "discinfo/discid.h"

#include <gtest/gtest.h>

namespace wx {
namespace {

// Absolute frame (lead-in included) of an MSF position.
std::int32_t Msf(int m, int s, int f) { return m * 4500 + s * 75 + f; }

TEST(DiscId, DigitSumOfPrintedNumber) {
    EXPECT_EQ(CDDBDigitSum(0), 0);
    EXPECT_EQ(CDDBDigitSum(7), 7);
    EXPECT_EQ(CDDBDigitSum(1234), 10);
    EXPECT_EQ(CDDBDigitSum(99999), 45);
    EXPECT_EQ(CDDBDigitSum(-58), 13);  // the sign is no digit
}

TEST(DiscId, OneTrackDiscOfThreeMinutes) {
    // One track at 00:02:00, lead-out at 03:00:00: checksum 2, total 178.
    const std::uint32_t id = CddbDiscId({Msf(0, 2, 0)}, Msf(3, 0, 0));
    EXPECT_EQ(id >> 24, 2u);
    EXPECT_EQ((id >> 8) & 0xFFFF, 178u);
    EXPECT_EQ(id & 0xFF, 1u);
    EXPECT_EQ(CddbDiscIdText(id), "200b201");
}

TEST(DiscId, FramePartOfPositionsIsIgnored) {
    const auto a = CddbDiscId({Msf(0, 2, 0), Msf(4, 10, 0)}, Msf(9, 1, 0));
    const auto b = CddbDiscId({Msf(0, 2, 74), Msf(4, 10, 33)}, Msf(9, 1, 74));
    EXPECT_EQ(a, b);
    EXPECT_NE(a, CddbDiscId({Msf(0, 2, 0), Msf(4, 11, 0)}, Msf(9, 1, 0)));
}

TEST(DiscId, ChecksumMultipleOf255GivesShortText) {
    // Find starting seconds whose digit sums add up to 255: 51 tracks whose
    // seconds each have digit sum 5 (e.g. 5, 14, 23, 32, 41, 50, 104 ...).
    std::vector<std::int32_t> frames;
    for (int s = 2; frames.size() < 51; ++s)
        if (CDDBDigitSum(s) == 5) frames.push_back(s * 75);
    const std::int32_t leadOut = (frames.back() / 75 + 100) * 75;
    const std::uint32_t id = CddbDiscId(frames, leadOut);
    EXPECT_EQ(id >> 24, 0u);
    const std::string text = CddbDiscIdText(id);
    EXPECT_LT(text.size(), 8u);
    EXPECT_EQ(std::stoul(text, nullptr, 16), id);
    for (char c : text) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << text;
}

TEST(DiscId, NoTracksIsZeroAndSecondsAreWholeLeadOutSeconds) {
    EXPECT_EQ(CddbDiscId({}, Msf(30, 0, 0)), 0u);
    EXPECT_EQ(CddbDiscSeconds(Msf(3, 0, 74)), 180);
    EXPECT_EQ(CddbDiscSeconds(Msf(72, 59, 74)), 72 * 60 + 59);
    // A lead-out before the first track: the negative total stays out of
    // the checksum byte and the track count.
    const std::uint32_t back = CddbDiscId({Msf(3, 0, 0)}, Msf(0, 2, 0));
    EXPECT_EQ(back >> 24, 9u);  // digits of 180 s
    EXPECT_EQ(back & 0xFF, 1u);
    EXPECT_EQ((back >> 8) & 0xFFFF, std::uint32_t(2 - 180) & 0xFFFF);
}

}  // namespace
}  // namespace wx
