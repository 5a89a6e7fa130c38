#pragma once

#include <chrono>
#include <thread>

namespace testsupport {

template <typename Probe>
bool PollUntil(int timeoutMs, Probe probe) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (probe())
      return true;
    if (std::chrono::steady_clock::now() >= end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace testsupport
