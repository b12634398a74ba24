// The encoders' floating-point state is set and put back exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "output/fpucontrol.h"

namespace wx {
namespace {

#if defined(__i386__) || defined(__x86_64__)
TEST(FpuControlTest, EncoderStateIsSetAndTheThreadsOwnStateRestored) {
    // A worker thread of its own, so the test runner's state is not touched.
    std::thread([] {
        const TFpuState before = GetFpuState();
        SetEncoderFpuState();
        const TFpuState during = GetFpuState();
        // Bit 6 of the x87 control word is reserved and may read as set.
        EXPECT_EQ(during.ControlWord & ~0x40, kEncoderFpuControlWord);
#if defined(__x86_64__) || defined(__SSE__)
        EXPECT_EQ(during.Mxcsr & 0xFFC0u, kEncoderMxcsr);  // masks and modes; flags may gather
        // With every exception masked, a division by zero yields infinity.
        volatile double zero = 0.0;
        EXPECT_TRUE(std::isinf(1.0 / zero));
#endif
        RestoreFpuState(before);
        const TFpuState after = GetFpuState();
        EXPECT_EQ(after.ControlWord, before.ControlWord);
        EXPECT_EQ(after.Mxcsr & 0xFFC0u, before.Mxcsr & 0xFFC0u);
    }).join();
}

TEST(FpuControlTest, RestoreBringsBackAnUnusualState) {
    std::thread([] {
        const TFpuState original = GetFpuState();
        TFpuState odd = original;
        odd.ControlWord = 0x027F;  // 53-bit precision
        odd.Mxcsr = 0x9F80;        // flush-to-zero on
        RestoreFpuState(odd);
        SetEncoderFpuState();
        EXPECT_EQ(GetFpuState().ControlWord & ~0x40, kEncoderFpuControlWord);
        RestoreFpuState(odd);
        EXPECT_EQ(GetFpuState().ControlWord, 0x027F);
#if defined(__x86_64__) || defined(__SSE__)
        EXPECT_EQ(GetFpuState().Mxcsr & 0xFFC0u, 0x9F80u);
#endif
        RestoreFpuState(original);
    }).join();
}
#endif

}  // namespace
}  // namespace wx
