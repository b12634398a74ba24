#include "output/fpucontrol.h"

namespace wx {

#if defined(__i386__) || defined(__x86_64__)

TFpuState GetFpuState() {
    TFpuState s;
    uint16_t cw = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(cw));
    s.ControlWord = cw;
#if defined(__x86_64__) || defined(__SSE__)
    uint32_t csr = 0;
    __asm__ __volatile__("stmxcsr %0" : "=m"(csr));
    s.Mxcsr = csr;
#endif
    return s;
}

void SetEncoderFpuState() {
    uint16_t cw = kEncoderFpuControlWord;
    __asm__ __volatile__("fninit\n\tfldcw %0" : : "m"(cw));
#if defined(__x86_64__) || defined(__SSE__)
    uint32_t csr = kEncoderMxcsr;
    __asm__ __volatile__("ldmxcsr %0" : : "m"(csr));
#endif
}

void RestoreFpuState(const TFpuState& s) {
    uint16_t cw = s.ControlWord;
    __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(cw));
#if defined(__x86_64__) || defined(__SSE__)
    uint32_t csr = s.Mxcsr;
    __asm__ __volatile__("ldmxcsr %0" : : "m"(csr));
#endif
}

#else

TFpuState GetFpuState() { return {}; }
void SetEncoderFpuState() {}
void RestoreFpuState(const TFpuState&) {}

#endif

}  // namespace wx
