#include "os/Time.h"

#include <windows.h>

#include "os/win/Wide.h"

namespace os {

LocalTime LocalTimeNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return LocalTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                   now.wMinute, now.wSecond, now.wMilliseconds};
}

std::optional<LocalTime> FileWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  FILETIME local{};
  SYSTEMTIME parts{};
  if (!GetFileAttributesExW(win::ToWide(path).c_str(), GetFileExInfoStandard, &data) ||
      !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
      !FileTimeToSystemTime(&local, &parts))
    return std::nullopt;
  return LocalTime{parts.wYear,   parts.wMonth,  parts.wDay,         parts.wHour,
                   parts.wMinute, parts.wSecond, parts.wMilliseconds};
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
