// Property test of the one-pass jitter correction on the emulated drive:
// a fixed seed and a bounded number of random cases (docs/ripbench.md has
// the long run).
#include "extraction/tests/ripprop.h"

using namespace wx;
using namespace wxtest;

TEST(RipProperties, JitterNeverBreaksTheLengthOrPassesABrokenOutputAsOK) {
    ASSERT_TRUE(ReserveRipBuffers(RipBuffers));
    TPropertyRig rig(2400, 20261209);
    ASSERT_TRUE(rig.Loaded());
    std::mt19937 g(1305);
    int cases[int(TJitterPattern::Count)] = {}, clean[int(TJitterPattern::Count)] = {};
    for (int i = 0; i < 90; ++i) {
        TCaseResult c = rig.RunCase(g, 160);
        ++cases[int(c.pattern)];
        EXPECT_TRUE(c.lengthExact) << i << ": " << c.Describe();
        EXPECT_NE(c.resultClass, rrNG) << i << ": " << c.Describe();
        if (c.resultClass == rrOK) {
            EXPECT_TRUE(c.unbroken) << i << ": " << c.Describe();
            ++clean[int(c.pattern)];
        }
    }
    // Every pattern came up, and jitter the correction can follow is
    // followed: a drive without jitter or with a constant offset always
    // gives a clean rip.
    for (int p = 0; p < int(TJitterPattern::Count); ++p) EXPECT_GT(cases[p], 5) << PatternName(TJitterPattern(p));
    EXPECT_EQ(clean[int(TJitterPattern::None)], cases[int(TJitterPattern::None)]);
    EXPECT_GT(clean[int(TJitterPattern::Constant)], 0);
    EXPECT_GT(clean[int(TJitterPattern::LastRead)], 0);
}

// The same properties for the two-pass read, with and without verify: the
// length is exact whatever the shift of the last block, a broken output is
// never OK, and a drive without jitter gives the image itself.
TEST(RipProperties, TwoPassKeepsTheLengthAndNeverPassesABrokenOutputAsOK) {
    ASSERT_TRUE(ReserveRipBuffers(RipBuffers));
    TPropertyRig rig(2400, 20261209);
    ASSERT_TRUE(rig.Loaded());
    std::mt19937 g(1306);
    int cases[int(TJitterPattern::Count)] = {}, clean[int(TJitterPattern::Count)] = {};
    int verified = 0;
    for (int i = 0; i < 60; ++i) {
        TCaseResult c = rig.RunCase(g, 160, TRipKind::TwoPass);
        ++cases[int(c.pattern)];
        verified += c.verify;
        EXPECT_TRUE(c.lengthExact) << i << ": " << c.Describe();
        EXPECT_NE(c.resultClass, rrNG) << i << ": " << c.Describe();
        if (c.resultClass == rrOK) {
            EXPECT_TRUE(c.unbroken) << i << ": " << c.Describe();
            ++clean[int(c.pattern)];
        }
        if (c.pattern == TJitterPattern::None) {
            EXPECT_TRUE(c.isImage) << i << ": " << c.Describe();
            EXPECT_EQ(c.resultClass, rrOK) << i << ": " << c.Describe();
        }
        // Every block moved alike: the seams match exactly.
        if (c.pattern == TJitterPattern::Constant) {
            EXPECT_EQ(c.resultClass, rrOK) << i << ": " << c.Describe();
        }
    }
    for (int p = 0; p < int(TJitterPattern::Count); ++p) EXPECT_GT(cases[p], 3) << PatternName(TJitterPattern(p));
    EXPECT_GT(verified, 3);
    EXPECT_GT(clean[int(TJitterPattern::LastRead)], 0);
}
