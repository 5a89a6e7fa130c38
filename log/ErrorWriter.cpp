// The unit's error writer: one logger per process that records the failures of all others.
#include <mutex>

#include "log/HuxLogger.h"
#include "os/Files.h"

namespace {

enum class UnitState { NotStarted, Running, Finished };

std::mutex gUnitLock;
UnitState gState = UnitState::NotStarted;
std::shared_ptr<THuxLogger> gErrorWriter;

std::shared_ptr<THuxLogger> MakeErrorWriter() {
  auto writer = std::make_shared<THuxLogger>(HuxLoggerErrorWriterFileName());
  writer->SetTrimInPlace(true);
  writer->SetIsErrorWriter(true);
  return writer;
}

}  // namespace

std::string HuxLoggerErrorWriterFileName() {
  return os::TempDirectory() + "HuxLoggerErrorsWriter.log";
}

void HuxLoggerUnitInitialize() {
  std::lock_guard guard(gUnitLock);
  if (gState == UnitState::Running && gErrorWriter)
    return;
  gErrorWriter = MakeErrorWriter();
  gState = UnitState::Running;
}

void HuxLoggerUnitFinalize() {
  std::shared_ptr<THuxLogger> writer;
  {
    std::lock_guard guard(gUnitLock);
    writer.swap(gErrorWriter);
    gState = UnitState::Finished;
  }
  // Freed outside the unit lock; a writer still reporting holds its own reference.
}

std::shared_ptr<THuxLogger> HuxLoggerErrorWriter() {
  std::lock_guard guard(gUnitLock);
  if (gState == UnitState::NotStarted) {
    // A process that skipped the unit start still gets its failures recorded.
    try {
      gErrorWriter = MakeErrorWriter();
    } catch (...) {
    }
    gState = UnitState::Running;
  }
  return gErrorWriter;
}
