#include "repair/RebuildDatabase.h"

#include <memory>
#include <optional>

#include "check/TrialBackup.h"
#include "check/ValidateDatabase.h"
#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/CodePage.h"
#include "os/Durable.h"
#include "os/Exception.h"
#include "os/FileLock.h"
#include "os/Files.h"
#include "os/Format.h"
#include "os/Ownership.h"
#include "os/SystemError.h"
#include "progress/ProgressViewer.h"
#include "repair/BlobRepair.h"
#include "repair/OutOfReach.h"
#include "repair/RepairMessages.h"
#include "repair/ToolLogText.h"
#include "server/FixedPaths.h"
#include "server/ServerFailures.h"
#include "server/ServerLogin.h"
#include "server/ToolCommands.h"
#include "server/ToolRunner.h"

using sessionlog::Record;

using namespace repairtext;

namespace {

// A file left from an earlier run would be mistaken for this run's output.
void RemoveLeftover(const std::string& path) {
  if (os::FileExists(path) && !os::RemoveOwnFile(path))
    throw Exception(Format(kTempFileFailed, {path, os::LastErrorText()}));
}

// Asked anew for each command line.
ToolLogin AskLogin() {
  return LocalServerLogin();
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

bool OperatorRetries(OperatorDialogs& dialogs, const std::string& databaseFile,
                     const std::string& restoredFile, const std::string& why) {
  return dialogs.ShowMessage(kOldFileCaption,
                             Format(kRetryReplaceQuestion, {restoredFile, databaseFile, why}),
                             DialogButtons::YesNo, DialogIcon::Warning,
                             /*defaultButton=*/1) == DialogResult::Yes;
}

// One rename puts the rebuilt file at the database's path: at every moment the path names
// the old database (or, while it is under its work name, nothing: a start-up puts it back)
// or the rebuilt file. The old file is deleted only after.
void Replace(OperatorDialogs& dialogs, const std::string& databaseFile,
             const std::string& restoredFile, const std::string& oldFile) {
  SessionLog().WriteFmt(kReplaceAttempt, {databaseFile, restoredFile}, llPlain);
  const std::string folder = os::ExtractFileDir(databaseFile);
  const bool inPlace = oldFile == databaseFile;
  // The server wrote the rebuilt file as its own user; the shop's programs need the old
  // file's rights. Where the program may not give them (not root), the log says so.
  if (!os::CopyOwnerAndMode(oldFile, restoredFile))
    SessionLog().WriteFmt(kRightsNotCopied, {restoredFile, os::LastErrorText()}, llPlain);
  for (;;) {
    // Renaming over a file the server has open succeeds on Linux, and the attached programs
    // would go on writing into the discarded file. The lock is refused while the server has
    // it open, and while it is held the server cannot open it.
    const std::unique_ptr<os::FileLock> notInUse =
        inPlace ? os::FileLock::TryExclusive(databaseFile) : nullptr;
    if ((!inPlace || notInUse) && os::RenameReplacing(restoredFile, databaseFile))
      break;
    if (!OperatorRetries(dialogs, databaseFile, restoredFile, os::LastErrorText()))
      throw EReplaceByHand(Format(kDeleteOldByHand, {databaseFile, restoredFile, databaseFile}));
  }
  os::FlushFolder(folder);
  SessionLog().WriteFmt(kRenamed, {restoredFile, databaseFile}, llPlain);
  RunRepairStepHook("replaced");
  // A file left here is reported at the next start and refused by the next repair.
  if (!inPlace && os::RemoveFile(oldFile)) {
    os::FlushFolder(folder);
    Record(kDeleted + oldFile);
  }
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
       {IntermediateBackupPath(databaseFile), RestoredFilePath(databaseFile),
        WorkFilePath(databaseFile), paths::ToolLog(), TrialBackupPath(databaseFile)}) {
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
  const std::string source = options.workFile.empty() ? databaseFile : options.workFile;
  RemoveLeftover(paths::ToolLog());
  RemoveLeftover(backupFile);
  const ToolLogin login = AskLogin();
  const std::string backupCommand = BackupCommand(paths::Gbak(), login, source, backupFile,
                                                  paths::ToolLog(), options.skipDataPattern);
  std::vector<UnreadableBlob> clearedBlobs;
  RunRepairStepHook("rebuild");
  try {
    try {
      Backup(backupCommand, LoginEnvironment(login), databaseFile, backupFile);
    } catch (const EBackupUnfinished&) {
      // Fields that cannot be read stop the backup though every row can: cleared with the
      // operator's consent, they no longer do.
      clearedBlobs = ClearUnreadableBlobs(dialogs, source, options.safetyCopy);
      if (clearedBlobs.empty())
        throw;
      RemoveLeftover(paths::ToolLog());
      RemoveLeftover(backupFile);
      Backup(backupCommand, LoginEnvironment(login), databaseFile, backupFile);
    }
    const std::string restoredFile = RestoredFilePath(databaseFile);
    try {
      Restore(backupFile, restoredFile);
    } catch (const EProgressCancelByUser&) {
      throw;
    } catch (const Exception&) {
      if (!options.afterFailedRestore || !options.afterFailedRestore(backupFile, restoredFile))
        throw;
    }
    if (options.afterRestore)
      options.afterRestore(restoredFile);
    ProveRestoredFile(restoredFile, options.safetyCopy);
    if (options.beforeReplacement)
      options.beforeReplacement(restoredFile);
    Replace(dialogs, databaseFile, restoredFile, source);
    ReportClearedBlobs(dialogs, clearedBlobs);
  } catch (...) {
    CleanUp(backupFile);
    throw;
  }
  CleanUp(backupFile);
}
