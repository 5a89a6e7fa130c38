// Wall-clock and monotonic time, and sleeping.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace os {

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
LocalTime LocalTimeNow();
// When the file was last written, in local time; empty when it cannot be read.
std::optional<LocalTime> FileWriteTime(const std::string& path);

// Milliseconds from an arbitrary start, monotonic.
std::uint64_t MonotonicMs();

void SleepMs(std::uint32_t ms);

}  // namespace os
