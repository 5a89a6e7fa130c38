#include "tests/server/RunnerTestEnvironment.h"

#include <gtest/gtest.h>

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

ScriptedCancel::ScriptedCancel(std::uint64_t atMs) {
  SetViewerCycleHook([this, atMs](TProgressViewer& viewer) {
    const std::uint64_t now = os::MonotonicMs();
    if (now < atMs || viewer.Cancelled())
      return;
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
