#include "repair/OutOfReach.h"

#include <memory>

#include "check/ValidateDatabase.h"
#include "os/Durable.h"
#include "os/Exception.h"
#include "os/FileLock.h"
#include "os/Files.h"
#include "os/Format.h"
#include "os/SystemError.h"
#include "os/Time.h"
#include "repair/RepairMessages.h"

using namespace repairtext;

namespace {

std::function<void(const std::string&)>& StepHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

// A tool left running by the operator's cancel may hold the file for a moment (Windows
// refuses to rename an open file).
constexpr int kPutBackTries = 50;
constexpr unsigned kPutBackPauseMs = 100;

}  // namespace

std::string WorkFilePath(const std::string& databaseFile) {
  return os::ChangeFileExt(databaseFile, kWorkExt);
}

TDatabaseOutOfReach::TDatabaseOutOfReach(const std::string& databaseFile)
    : databaseFile_(databaseFile), workFile_(WorkFilePath(databaseFile)) {
  if (os::FileExists(workFile_))
    throw Exception(Format(kWorkFileLeft, {workFile_}));
  // Refused while the server has the file open; while held, the server cannot open it, so
  // nobody attaches between the test and the rename.
  const std::unique_ptr<os::FileLock> notInUse = os::FileLock::TryExclusive(databaseFile_);
  if (!notInUse)
    throw EDatabaseInUse(repairtext::kDatabaseInUse);
  if (!os::RenameFile(databaseFile_, workFile_)) {
    // Windows refuses to rename a file another program holds open.
    if (os::IsSharingViolation(os::LastErrorCode()))
      throw EDatabaseInUse(repairtext::kDatabaseInUse);
    throw Exception(Format(kTakeAwayFailed, {databaseFile_, os::LastErrorText()}));
  }
  away_ = true;
  os::FlushFolder(os::ExtractFileDir(databaseFile_));
  RunRepairStepHook("taken");
}

TDatabaseOutOfReach::~TDatabaseOutOfReach() {
  if (away_)
    PutBackFromWorkName(databaseFile_);
}

void TDatabaseOutOfReach::PutBack() {
  if (!away_)
    return;
  for (int attempt = 1;; ++attempt) {
    if (os::RenameFile(workFile_, databaseFile_))
      break;
    if (attempt == kPutBackTries)
      throw Exception(Format(kPutBackByHand, {os::LastErrorText(), workFile_, databaseFile_}));
    os::SleepMs(kPutBackPauseMs);
  }
  away_ = false;
  os::FlushFolder(os::ExtractFileDir(databaseFile_));
}

bool PutBackFromWorkName(const std::string& databaseFile) {
  const std::string workFile = WorkFilePath(databaseFile);
  if (os::FileExists(databaseFile) || !os::FileExists(workFile))
    return false;
  if (!os::RenameFile(workFile, databaseFile))
    return false;
  os::FlushFolder(os::ExtractFileDir(databaseFile));
  return true;
}

void SetRepairStepHook(std::function<void(const std::string& step)> hook) {
  StepHook() = std::move(hook);
}

void RunRepairStepHook(const std::string& step) {
  if (StepHook())
    StepHook()(step);
}
