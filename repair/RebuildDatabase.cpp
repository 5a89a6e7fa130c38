#include "repair/RebuildDatabase.h"

#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "os/Format.h"
#include "os/SystemError.h"
#include "repair/RepairMessages.h"
#include "repair/ToolLogText.h"
#include "server/FBUtils.h"
#include "server/FixedPaths.h"
#include "server/ToolCommands.h"
#include "server/ToolRunner.h"

using namespace repairtext;

namespace {

void Record(const std::string& text) {
  SessionLog().Write(text, llPlain);
}

// A file left from an earlier run would be mistaken for this run's output.
void RemoveLeftover(const std::string& path) {
  if (os::FileExists(path) && !os::RemoveFile(path))
    throw Exception(Format(kTempFileFailed, {path, os::LastErrorText()}));
}

// Port first, then the password, asked anew for each command line.
ToolLogin AskLogin() {
  ToolLogin login;
  login.port = GetFBPort();
  login.password = GetFBPassword();
  return login;
}

void Backup(const std::string& command) {
  Record(kBackupStart);
  RunToolBatch(command, kBackupCaption);
  const std::string toolLog = paths::ToolLog();
  if (!os::FileExists(toolLog))
    throw Exception(kNoBackupLog);
  const std::string text = toollog::ReadAsText(toolLog);
  if (!toollog::HasMarker(text, kBackupEndMarker)) {
    Record(kBackupNoMarker + text);
    throw EBackupUnfinished(BackupFailedMessage());
  }
  Record(kBackupDone);
}

// Leaves the restored file on disk whatever happens; it is the operator's to keep when the
// restore did not give a usable database.
void Restore(const std::string& backupFile, const std::string& restoredFile) {
  Record(kRestoreStart);
  RemoveLeftover(restoredFile);
  RemoveLeftover(paths::ToolLog());
  RunToolBatch(
      RestoreCommand(paths::Gbak(), AskLogin(), backupFile, restoredFile, paths::ToolLog()),
      kRestoreCaption);
  if (!os::FileExists(restoredFile))
    throw Exception(kRestoredMissing + restoredFile);

  const std::string text = toollog::ReadAsText(paths::ToolLog());
  // An unfinished restore, or one that left the new database off-line, must not replace the
  // old file, and it is a failure the operator has to see.
  if (!toollog::HasMarker(text, kRestoreEndMarker)) {
    Record(kRestoreNoMarker + text);
    throw Exception(RestoreFailedMessage());
  }
  if (toollog::RestoreLeftUnusableDatabase(text, kRestoreEndMarker)) {
    Record(kRestoreUnusable + text);
    throw Exception(RestoreFailedMessage());
  }
  Record(kRestoreDone);
}

void Replace(OperatorDialogs& dialogs, const std::string& databaseFile,
             const std::string& restoredFile) {
  SessionLog().WriteFmt(kReplaceAttempt, {databaseFile, restoredFile}, llPlain);
  if (!os::RemoveFile(databaseFile))
    throw Exception(Format(kDeleteOldByHand, {databaseFile, restoredFile, databaseFile}));
  Record(kDeleted + databaseFile);
  if (!os::RenameFile(restoredFile, databaseFile))
    throw Exception(Format(kRenameByHand, {restoredFile, databaseFile}));
  SessionLog().WriteFmt(kRenamed, {restoredFile, databaseFile}, llPlain);
  dialogs.ShowMessage(kSuccessCaption, kSuccessText, DialogButtons::Ok, DialogIcon::Information);
}

// Failures here are not the operator's concern: the files are scratch.
void CleanUp(const std::string& backupFile) {
  os::RemoveFile(backupFile);
  os::RemoveFile(paths::ToolLog());
}

}  // namespace

std::string IntermediateBackupPath(const std::string& databaseFile) {
  return os::ChangeFileExt(databaseFile, kBackupExt);
}

std::string RestoredFilePath(const std::string& databaseFile) {
  return os::ChangeFileExt(databaseFile, kRestoredExt);
}

void RebuildDatabase(OperatorDialogs& dialogs, const std::string& databaseFile,
                     const RebuildOptions& options) {
  const std::string backupFile = IntermediateBackupPath(databaseFile);
  RemoveLeftover(paths::ToolLog());
  RemoveLeftover(backupFile);
  const std::string backupCommand =
      BackupCommand(paths::Gbak(), AskLogin(), databaseFile, backupFile, paths::ToolLog(),
                    options.skipDataPattern);
  try {
    Backup(backupCommand);
    const std::string restoredFile = RestoredFilePath(databaseFile);
    Restore(backupFile, restoredFile);
    if (options.beforeReplacement)
      options.beforeReplacement(restoredFile);
    Replace(dialogs, databaseFile, restoredFile);
  } catch (...) {
    CleanUp(backupFile);
    throw;
  }
  CleanUp(backupFile);
}
