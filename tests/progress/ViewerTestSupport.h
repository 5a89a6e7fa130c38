// Shared steps of the progress viewer tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "progress/ProgressViewer.h"

// Polls `condition` every 10 ms for at most `timeoutMs`.
inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Every test starts with the unit initialised and ends with no viewer thread left behind,
// so a viewer that fails to free itself is caught by the test that made it.
class ViewerTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { ProgressViewerUnitInitialize(); }
  void TearDown() override {
    SetViewerCycleHook(nullptr);
    EXPECT_TRUE(WaitForViewerThreads(5000)) << "a terminated viewer did not end";
  }
};
