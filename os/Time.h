// Wall-clock and monotonic time, and sleeping.
#pragma once

#include <cstdint>

namespace os {

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
LocalTime LocalTimeNow();

// Milliseconds from an arbitrary start, monotonic.
std::uint64_t MonotonicMs();

void SleepMs(std::uint32_t ms);

}  // namespace os
