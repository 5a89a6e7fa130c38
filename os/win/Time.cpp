#include "os/Time.h"

#include <windows.h>

namespace os {

LocalTime LocalTimeNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return LocalTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                   now.wMinute, now.wSecond, now.wMilliseconds};
}

// The performance counter, not GetTickCount64: its 16 ms steps would blur short waits.
std::uint64_t MonotonicMs() {
  static const std::uint64_t frequency = [] {
    LARGE_INTEGER value{};
    QueryPerformanceFrequency(&value);
    return static_cast<std::uint64_t>(value.QuadPart);
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const auto ticks = static_cast<std::uint64_t>(now.QuadPart);
  return ticks / frequency * 1000 + ticks % frequency * 1000 / frequency;
}

void SleepMs(std::uint32_t ms) {
  Sleep(ms);
}

}  // namespace os
