// The floating-point state the encoders run under.
//
// The encoders expect the x87 control word 0x133F: all six exceptions
// masked, 64-bit precision, round to nearest.  On x86-64 the SSE unit does
// the arithmetic, so its control register (MXCSR) is set to the same
// meaning as well: all six exception masks set (0x1F80), round to nearest,
// flush-to-zero and denormals-are-zero off, sticky flags cleared.  The x87
// unit is still set too, because long double arithmetic uses it.
// Portable: no <windows.h>.
#pragma once
#include <cstdint>

namespace wx {

constexpr uint16_t kEncoderFpuControlWord = 0x133F;
constexpr uint32_t kEncoderMxcsr = 0x1F80;

struct TFpuState {
    uint16_t ControlWord = 0;
    uint32_t Mxcsr = 0;
};

// The calling thread's current state.
TFpuState GetFpuState();
// Re-initialises the x87 unit and loads 0x133F; on x86-64 also loads MXCSR
// with 0x1F80.
void SetEncoderFpuState();
// Loads a state taken earlier with GetFpuState.
void RestoreFpuState(const TFpuState& state);

}  // namespace wx
