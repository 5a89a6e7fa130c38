#include "tests/support/ProgramUnits.h"

#include "log/SessionLog.h"
#include "progress/ProgressViewer.h"
#include "server/FBUtils.h"
#include "server/FixedPaths.h"

namespace testsupport {

bool ProgramUnits::Start() {
  if (!FBUtilsInitialize())
    return false;
  HuxLoggerUnitInitialize();
  ProgressViewerUnitInitialize();
  log_ = std::make_unique<THuxLogger>(paths::SessionLogFile());
  PublishSessionLog(log_.get());
  started_ = true;
  return true;
}

void ProgramUnits::Stop() {
  if (!started_)
    return;
  started_ = false;
  SetViewerCycleHook(nullptr);
  PublishSessionLog(nullptr);
  log_.reset();
  WaitForViewerThreads(5000);
  ProgressViewerUnitFinalize();
  HuxLoggerUnitFinalize();
  FBUtilsFinalize();
}

}  // namespace testsupport
