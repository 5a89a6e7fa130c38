#include "tests/server/RunnerTestEnvironment.h"

#include <gtest/gtest.h>

#include "os/Files.h"
#include "os/Time.h"
#include "progress/ProgressViewer.h"

namespace {

class ProgressViewerUnit : public ::testing::Environment {
 public:
  void SetUp() override { ProgressViewerUnitInitialize(); }
  void TearDown() override {
    EXPECT_TRUE(WaitForViewerThreads(5000)) << "a progress viewer outlived its run";
    ProgressViewerUnitFinalize();
  }
};

}  // namespace

void UseProgressViewerUnit() {
  ::testing::AddGlobalTestEnvironment(new ProgressViewerUnit);
}

ScriptedCancel::ScriptedCancel(std::uint64_t atMs)
    : ScriptedCancel([atMs] { return os::MonotonicMs() >= atMs; }) {}

ScriptedCancel::ScriptedCancel(std::function<bool()> ready) {
  SetViewerCycleHook([this, ready](TProgressViewer& viewer) {
    if (viewer.Cancelled() || !ready())
      return;
    const std::uint64_t now = os::MonotonicMs();
    std::uint64_t none = 0;
    cancelledAtMs_.compare_exchange_strong(none, now);
    viewer.Cancel();
  });
}

ScriptedCancel::~ScriptedCancel() {
  SetViewerCycleHook(nullptr);
  // A viewer may still be in its last cycle, inside the hook that points here.
  WaitForViewerThreads(5000);
}

bool ScriptGone(const std::string& path, unsigned timeoutMs) {
  const bool mayLinger = os::PathDelimiter() == '\\';
  const std::uint64_t end = os::MonotonicMs() + (mayLinger ? timeoutMs : 0);
  while (os::FileExists(path)) {
    if (os::MonotonicMs() >= end)
      return false;
    os::SleepMs(20);
  }
  return true;
}
