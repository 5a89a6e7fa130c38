// Some drivers and toolkits change the floating-point control word while they create a
// window; this keeps the program's own settings across such a call.
#pragma once

// The SSE control register only where the compiler uses SSE: the 32-bit Windows build keeps
// to the x87 unit, for processors without SSE.
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace progress_internal {

class FpuControlGuard {
 public:
  FpuControlGuard() {
#if defined(__x86_64__) || defined(__i386__)
    __asm__ volatile("fnstcw %0" : "=m"(x87_));
#endif
#if defined(__SSE__)
    sse_ = _mm_getcsr();
#endif
  }
  ~FpuControlGuard() {
#if defined(__x86_64__) || defined(__i386__)
    __asm__ volatile("fldcw %0" : : "m"(x87_));
#endif
#if defined(__SSE__)
    _mm_setcsr(sse_);
#endif
  }
  FpuControlGuard(const FpuControlGuard&) = delete;
  FpuControlGuard& operator=(const FpuControlGuard&) = delete;

 private:
  unsigned short x87_ = 0;
  unsigned int sse_ = 0;
};

}  // namespace progress_internal
