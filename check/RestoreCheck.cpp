#include "check/RestoreCheck.h"

#include <memory>
#include <optional>

#include "check/CheckMessages.h"
#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "os/SystemError.h"
#include "progress/ProgressViewer.h"
#include "progress/ScopedProgressViewer.h"
#include "server/FbServiceRestore.h"
#include "server/FixedPaths.h"
#include "server/ServerLogin.h"

namespace {

constexpr int kLatestOutputLine = 10;
constexpr int kCancelledLineNumber = 15;
constexpr int kWaitingLineNumber = 20;

void ShowLine(TProgressViewer& viewer, int number, const std::string& text) {
  viewer.SetString(number, text, /*Alignment=*/0, /*WordWrap=*/false, /*Color=*/0x008000,
                   /*FontStyle=*/1, /*FontSize=*/12, /*FontName=*/"");
}

bool IsErrorLine(const std::string& line) {
  return line.find("ERROR") != std::string::npos || RestoreLeftIndexesOff(line) ||
         line.find("violation of") != std::string::npos ||
         line.find("Problematic key value") != std::string::npos;
}

// The server goes on writing into the scratch file after a cancel; it may be deleted only
// once the restore has ended. A second cancel gives up waiting.
void WaitForServiceEnd(FbRestoreService& restore, TProgressViewer& viewer) {
  viewer.SetCancelled(false);
  try {
    while (restore.NextLine()) {
      ShowLine(viewer, kWaitingLineNumber, checktext::kWaitingLine);
      viewer.CheckCancel();
    }
  } catch (const EFirebirdError&) {
  }
}

std::vector<std::string> RunRestore(const RestoreLogin& login, const std::string& backupFile,
                                    const std::string& scratch, TProgressViewer& viewer) {
  FbRestoreService restore;
  restore.Attach(login.host, login.port, login.userName, login.password);
  restore.Start(backupFile, scratch);
  std::vector<std::string> errors;
  try {
    while (std::optional<std::string> line = restore.NextLine()) {
      ShowLine(viewer, kLatestOutputLine, *line);
      if (IsErrorLine(*line))
        errors.push_back(*line);
      viewer.CheckCancel();
    }
  } catch (const EProgressCancelByUser&) {
    ShowLine(viewer, kCancelledLineNumber, checktext::kCancelledLine);
    WaitForServiceEnd(restore, viewer);
    throw;
  } catch (const EFirebirdError& e) {
    // The server cannot write the scratch file (no rights to the work folder): a failure of
    // the check, which says nothing about the database.
    if (e.Message().find(os::ExtractFileName(scratch)) != std::string::npos)
      throw Exception(e.Message());
    errors.push_back(e.Message());
  }
  return errors;
}

}  // namespace

std::string RestoreCheckFile() {
  return paths::WorkDirectory() + "DBRepairRestoreCheck.fdb";
}

std::vector<std::string> RestoreTrialBackup(const RestoreLogin& login,
                                            const std::string& backupFile) {
  const std::string scratch = RestoreCheckFile();
  os::ForceDirectories(paths::WorkDirectory());
  // A file left there would fail the restore, which must not read as damage.
  if (os::FileExists(scratch) && !os::RemoveOwnFile(scratch))
    throw Exception(checktext::kFileNotDeleted + scratch + ": " + os::LastErrorText());
  ScopedProgressViewer viewer(checktext::kRestoreCaption, /*showPercent=*/false,
                              /*canCancel=*/true);
  std::vector<std::string> errors;
  try {
    errors = RunRestore(login, backupFile, scratch, *viewer);
  } catch (...) {
    os::RemoveFile(scratch);
    throw;
  }
  os::RemoveFile(scratch);
  return errors;
}

bool ProveBackupRestores(OperatorDialogs& dialogs, const std::string& backupFile) {
  std::vector<std::string> errors;
  try {
    SessionLog().Write(checktext::kRestoreStart, llPlain);
    errors = RestoreTrialBackup(LocalServerLogin(), backupFile);
  } catch (const std::exception& e) {
    SessionLog().Write(std::string(checktext::kRestoreError) + e.what(), llError);
    if (dynamic_cast<const EProgressCancelByUser*>(&e) != nullptr)
      throw;
    return true;
  }
  if (errors.empty()) {
    SessionLog().Write(checktext::kRestoreClean, llPlain);
    return true;
  }
  std::string record = checktext::kRestoreFailedRecord;
  for (const std::string& line : errors)
    record += "\r\n" + line;
  SessionLog().Write(record, llError);
  Show(dialogs, RestoreFailureBox(errors));
  return false;
}

CheckBox RestoreFailureBox(const std::vector<std::string>& errorLines) {
  std::string text =
      checktext::kRestoreFailedText + paths::SessionLogFile() + checktext::kErrorTextHeading;
  for (const std::string& line : errorLines)
    text += "\r\n" + line;
  return {checktext::kWarningCaption, text, DialogButtons::Ok, DialogIcon::Error};
}
