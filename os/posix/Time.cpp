#include "os/Time.h"

#include <sys/stat.h>

#include <cerrno>
#include <ctime>

namespace os {

namespace {

LocalTime LocalTimeOf(const timespec& moment) {
  tm parts{};
  localtime_r(&moment.tv_sec, &parts);
  return LocalTime{parts.tm_year + 1900,
                   parts.tm_mon + 1,
                   parts.tm_mday,
                   parts.tm_hour,
                   parts.tm_min,
                   parts.tm_sec,
                   static_cast<int>(moment.tv_nsec / 1000000)};
}

}  // namespace

LocalTime LocalTimeNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return LocalTimeOf(now);
}

std::optional<LocalTime> FileWriteTime(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return std::nullopt;
  return LocalTimeOf(info.st_mtim);
}

std::uint64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

void SleepMs(std::uint32_t ms) {
  timespec rest{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  // Signals must not cut the sleep short.
  while (nanosleep(&rest, &rest) == -1 && errno == EINTR) {
  }
}

}  // namespace os
