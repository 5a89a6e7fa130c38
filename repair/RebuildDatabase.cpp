#include "repair/RebuildDatabase.h"

#include <memory>
#include <optional>

#include "check/TrialBackup.h"
#include "check/ValidateDatabase.h"
#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/CodePage.h"
#include "os/Exception.h"
#include "os/FileLock.h"
#include "os/Files.h"
#include "os/Format.h"
#include "os/SystemError.h"
#include "progress/ProgressViewer.h"
#include "repair/RepairMessages.h"
#include "repair/ToolLogText.h"
#include "server/FBUtils.h"
#include "server/FixedPaths.h"
#include "server/ServerFailures.h"
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

// A full disk, a folder the server may not write and the like say nothing about the
// database: they get their own message, not the one of a damaged database, and no second try
// without some tables' rows.
void StopOnServerFailure(const std::string& text, const std::string& databaseFile,
                         const std::string& writtenFile, const char* record) {
  if (const auto failure = ServerFailureMessageFor(text, databaseFile, writtenFile)) {
    Record(record + text);
    throw Exception(*failure);
  }
}

void Backup(const std::string& command, const os::EnvironmentVariables& login,
            const std::string& databaseFile, const std::string& backupFile) {
  Record(kBackupStart);
  RunToolBatch(command, kBackupCaption, login);
  const std::string toolLog = paths::ToolLog();
  if (!os::FileExists(toolLog))
    throw Exception(kNoBackupLog);
  const std::string text = toollog::ReadAsText(toolLog);
  StopOnServerFailure(text, databaseFile, backupFile, kBackupErrors);
  if (!toollog::HasMarker(text, kBackupEndMarker)) {
    Record(kBackupNoMarker + text);
    throw EBackupUnfinished(BackupFailedMessage());
  }
  if (toollog::ReportsError(text)) {
    Record(kBackupErrors + text);
    throw Exception(BackupFailedMessage());
  }
  Record(kBackupDone);
}

// Leaves the restored file on disk whatever happens; it is the operator's to keep when the
// restore did not give a usable database.
void Restore(const std::string& backupFile, const std::string& restoredFile) {
  Record(kRestoreStart);
  RemoveLeftover(restoredFile);
  RemoveLeftover(paths::ToolLog());
  const ToolLogin login = AskLogin();
  RunToolBatch(RestoreCommand(paths::Gbak(), login, backupFile, restoredFile, paths::ToolLog()),
               kRestoreCaption, LoginEnvironment(login));
  const std::string text =
      os::FileExists(paths::ToolLog()) ? toollog::ReadAsText(paths::ToolLog()) : std::string();
  // A partial file on a full disk would only keep the space the operator has to free.
  if (FindServerFailure(text) == ServerFailure::DiskFull)
    os::RemoveFile(restoredFile);
  StopOnServerFailure(text, restoredFile, restoredFile, kRestoreUnusable);
  if (!os::FileExists(restoredFile))
    throw Exception(kRestoredMissing + restoredFile);
  // An unfinished restore, or one that left the new database off-line, must not replace the
  // old file, and it is a failure the operator has to see.
  if (!toollog::HasMarker(text, kRestoreEndMarker)) {
    Record(kRestoreNoMarker + text);
    throw Exception(RestoreFailedMessage());
  }
  if (toollog::ReportsError(text) || toollog::LeftDatabaseOffline(text)) {
    Record(kRestoreUnusable + text);
    throw Exception(RestoreFailedMessage());
  }
  Record(kRestoreDone);
}

// gbak's word is not enough: the restored file takes the database's place only after the
// validation finds it clean. Otherwise it stays beside the untouched database.
void ProveRestoredFile(const std::string& restoredFile, const std::string& safetyCopy) {
  try {
    ValidateDatabase(restoredFile);
  } catch (const EProgressCancelByUser&) {
    throw;
  } catch (const Exception& e) {
    Record(kRestoredNotProven + e.Message());
    throw Exception(RestoredFileNotProvenMessage(restoredFile, safetyCopy));
  }
}

void Replace(OperatorDialogs& dialogs, const std::string& databaseFile,
             const std::string& restoredFile) {
  SessionLog().WriteFmt(kReplaceAttempt, {databaseFile, restoredFile}, llPlain);
  // Deleting a file the server has open succeeds on Linux, and every later write of the
  // program attached to it would go into the deleted file. The lock is refused while the
  // server has the file open, and while it is held the server cannot open the old file.
  const std::unique_ptr<os::FileLock> notInUse = os::FileLock::TryExclusive(databaseFile);
  if (!notInUse || !os::RemoveFile(databaseFile))
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

std::optional<os::FileIdentity> FolderIdentity(const std::string& file) {
  const std::string folder = os::ExtractFileDir(file);
  return os::IdentityOf(folder.empty() ? "." : folder);
}

}  // namespace

std::string IntermediateBackupPath(const std::string& databaseFile) {
  return os::ChangeFileExt(databaseFile, kBackupExt);
}

std::string RestoredFilePath(const std::string& databaseFile) {
  return os::ChangeFileExt(databaseFile, kRestoredExt);
}

bool NamesAScratchFile(const std::string& path, const std::string& databaseFile) {
  for (const std::string& scratch :
       {IntermediateBackupPath(databaseFile), RestoredFilePath(databaseFile), paths::ToolLog(),
        TrialBackupPath(databaseFile)}) {
    if (os::SameTextLocale(path, scratch))
      return true;
    // The same folder may be spelled in many ways (relative, "..", a link).
    const auto folder = FolderIdentity(path);
    if (folder && folder == FolderIdentity(scratch) &&
        os::SameTextLocale(os::ExtractFileName(path), os::ExtractFileName(scratch)))
      return true;
  }
  return false;
}

void RebuildDatabase(OperatorDialogs& dialogs, const std::string& databaseFile,
                     const RebuildOptions& options) {
  const std::string backupFile = IntermediateBackupPath(databaseFile);
  RemoveLeftover(paths::ToolLog());
  RemoveLeftover(backupFile);
  const ToolLogin login = AskLogin();
  const std::string backupCommand = BackupCommand(paths::Gbak(), login, databaseFile, backupFile,
                                                  paths::ToolLog(), options.skipDataPattern);
  try {
    Backup(backupCommand, LoginEnvironment(login), databaseFile, backupFile);
    const std::string restoredFile = RestoredFilePath(databaseFile);
    try {
      Restore(backupFile, restoredFile);
    } catch (const EProgressCancelByUser&) {
      throw;
    } catch (const Exception&) {
      if (!options.afterFailedRestore || !options.afterFailedRestore(backupFile, restoredFile))
        throw;
    }
    ProveRestoredFile(restoredFile, options.safetyCopy);
    if (options.beforeReplacement)
      options.beforeReplacement(restoredFile);
    Replace(dialogs, databaseFile, restoredFile);
  } catch (...) {
    CleanUp(backupFile);
    throw;
  }
  CleanUp(backupFile);
}
