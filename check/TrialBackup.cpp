#include "check/TrialBackup.h"

#include <exception>
#include <memory>
#include <optional>

#include "check/CheckMessages.h"
#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "os/Format.h"
#include "os/SystemError.h"
#include "os/Time.h"
#include "progress/ProgressViewer.h"
#include "progress/ScopedProgressViewer.h"
#include "server/FBUtils.h"
#include "server/FbService.h"

namespace {

constexpr int kLatestOutputLine = 10;
constexpr int kCancelledLineNumber = 15;
constexpr int kWaitingLineNumber = 20;

// Status lines of the backup's progress window: green, bold, 12 points, left, no wrap.
void ShowStatusLine(TProgressViewer& viewer, int number, const std::string& text) {
  viewer.SetString(number, text, /*Alignment=*/0, /*WordWrap=*/false, /*Color=*/0x008000,
                   /*FontStyle=*/1, /*FontSize=*/12, /*FontName=*/"");
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\r\n";
  return text;
}

[[noreturn]] void ThrowDeletionError(const std::string& backupFile, int code) {
  throw Exception(Format(checktext::kDeleteFailed, {backupFile, os::SystemErrorText(code)}));
}

void DeleteOldBackupFile(const std::string& backupFile) {
  if (!os::FileExists(backupFile))
    return;
  if (!os::RemoveFile(backupFile))
    ThrowDeletionError(backupFile, os::LastErrorCode());
  SessionLog().Write(checktext::kOldBackupDeleted + backupFile, llPlain);
}

// How long a backup file may stay in use after its backup has ended: the server closes it as
// it ends the backup, so this is far more than it ever needs.
constexpr std::uint64_t kServerReleaseMs = 5000;

// Removes the backup file at the end. Only a file this run's backup wrote is waited for, and
// only while it is in use (Windows cannot delete a file the server still holds; the operator
// may give up waiting). A file that cannot be deleted for any other reason (read-only, no
// rights), or that stays in use longer than the server needs, is reported at once.
void DeleteBackupFileWhenFree(TProgressViewer& viewer, const std::string& backupFile,
                              bool writtenByThisRun) {
  // A cancel pressed during the backup must not stop this wait at once.
  viewer.SetCancelled(false);
  const std::uint64_t deadline = os::MonotonicMs() + kServerReleaseMs;
  while (os::FileExists(backupFile) && !os::RemoveFile(backupFile)) {
    const int code = os::LastErrorCode();
    if (!writtenByThisRun || !os::IsSharingViolation(code) || os::MonotonicMs() >= deadline)
      ThrowDeletionError(backupFile, code);
    os::SleepMs(50);
    ShowStatusLine(viewer, kWaitingLineNumber, checktext::kWaitingLine);
    viewer.CheckCancel();
  }
}

// The server goes on with a backup whose client has gone, and creates the backup file only
// some lines into it: deleting the file right after a cancel could leave a whole backup
// behind. So the cancelled backup is waited for; a second cancel gives up waiting.
void WaitForServiceEnd(FbServiceConnection& service, TProgressViewer& viewer) {
  viewer.SetCancelled(false);
  try {
    while (service.NextLine()) {
      ShowStatusLine(viewer, kWaitingLineNumber, checktext::kWaitingLine);
      viewer.CheckCancel();
    }
  } catch (const EFirebirdError&) {
    // The backup ended in a failure of its own: the server removes its file then.
  }
}

// Reads the service's output to its end; a failure part-way arrives as an error here.
void ReadBackupOutput(FbServiceConnection& service, TProgressViewer* viewer,
                      std::vector<std::string>& verboseLog) {
  try {
    while (std::optional<std::string> line = service.NextLine()) {
      if (viewer != nullptr) {
        ShowStatusLine(*viewer, kLatestOutputLine, *line);
        viewer->CheckCancel();
      }
      verboseLog.push_back(*line);
    }
  } catch (const EProgressCancelByUser&) {
    if (viewer != nullptr) {
      ShowStatusLine(*viewer, kCancelledLineNumber, checktext::kCancelledLine);
      WaitForServiceEnd(service, *viewer);
    }
    throw;
  } catch (...) {
    SessionLog().Write(std::string(checktext::kBackupLogHeading) + JoinLines(verboseLog), llPlain);
    throw;
  }
}

struct BackupRequest {
  const std::string& host;
  const std::string& databaseFile;
  const std::string& backupFile;
  const std::string& userName;
  const std::string& password;
  std::int32_t port;
};

// Attaches, runs the backup and detaches on every path. `started` is set once the server
// may have begun to write the backup file.
void RunBackupService(FbServiceConnection& service, const BackupRequest& request,
                      TProgressViewer* viewer, std::vector<std::string>& verboseLog,
                      bool& started) {
  service.Attach(request.host, request.port, request.userName, request.password);
  try {
    started = true;
    service.StartBackup(request.databaseFile, request.backupFile, /*verbose=*/true);
    ReadBackupOutput(service, viewer, verboseLog);
  } catch (...) {
    service.Detach();
    throw;
  }
  service.Detach();
}

// Everything between showing the progress window and closing it. Clean-up runs in reverse
// order of acquisition. A cancel of the wait for the file replaces the error pending; a file
// that cannot be deleted is reported only when nothing went wrong before.
void BackUpWithService(const BackupRequest& request, TProgressViewer* viewer,
                       std::vector<std::string>& verboseLog, bool keepGoodBackup) {
  std::exception_ptr failure;
  bool started = false;
  auto service = std::make_unique<FbServiceConnection>();
  try {
    DeleteOldBackupFile(request.backupFile);
    RunBackupService(*service, request, viewer, verboseLog, started);
  } catch (...) {
    failure = std::current_exception();
  }
  service.reset();
  if (viewer != nullptr && (failure || !keepGoodBackup)) {
    try {
      DeleteBackupFileWhenFree(*viewer, request.backupFile, started);
    } catch (const EProgressCancelByUser&) {
      failure = std::current_exception();
    } catch (const Exception& e) {
      // After a good backup only the file is left: an antivirus scanning the new file, say.
      if (!failure)
        failure = std::make_exception_ptr(EBackupFileLeftBehind(e.Message()));
    } catch (...) {
      if (!failure)
        failure = std::current_exception();
    }
  }
  if (failure)
    std::rethrow_exception(failure);
}

}  // namespace

std::string TrialBackupPath(const std::string& databaseFile) {
  return os::ChangeFileExt(databaseFile, ".db_backup");
}

void MakeTrialBackup(const std::string& Host, const std::string& DatabaseFile,
                     const std::string& BackupFileName, const std::string& UserName,
                     const std::string& Password, std::vector<std::string>& VerboseLog,
                     std::int32_t Port, bool ShowProgress, bool KeepBackupFile) {
  try {
    SessionLog().WriteFmt(checktext::kBackupWillBeMade, {BackupFileName, DatabaseFile, Host},
                          llEvent);
    std::optional<ScopedProgressViewer> viewer;
    if (ShowProgress)
      viewer.emplace(checktext::kBackupCaption, /*showPercent=*/false, /*canCancel=*/true);
    const BackupRequest request{Host, DatabaseFile, BackupFileName, UserName, Password, Port};
    BackUpWithService(request, viewer ? &**viewer : nullptr, VerboseLog, KeepBackupFile);
    viewer.reset();
    SessionLog().Write(checktext::kBackupMade, llEvent);
  } catch (const std::exception& e) {
    SessionLog().Write(std::string(checktext::kBackupCreationError) + e.what(), llError);
    ChainException(e, checktext::kBackupChainContext, /*addClassTag=*/true)->Raise();
  }
}
