// Some drivers and toolkits change the floating-point control word while they create a
// window; this keeps the program's own settings across such a call.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace progress_internal {

class FpuControlGuard {
 public:
  FpuControlGuard() {
#if defined(__x86_64__) || defined(__i386__)
    __asm__ volatile("fnstcw %0" : "=m"(x87_));
    sse_ = _mm_getcsr();
#endif
  }
  ~FpuControlGuard() {
#if defined(__x86_64__) || defined(__i386__)
    __asm__ volatile("fldcw %0" : : "m"(x87_));
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
