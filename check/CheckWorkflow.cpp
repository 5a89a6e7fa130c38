#include "check/CheckWorkflow.h"

#include <exception>
#include <string>
#include <vector>

#include "check/CheckMessages.h"
#include "check/OnlineCheck.h"
#include "check/RestoreCheck.h"
#include "check/TrialBackup.h"
#include "check/ValidateDatabase.h"
#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/CodePage.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "os/Format.h"
#include "os/SystemError.h"
#include "progress/ProgressViewer.h"
#include "server/FBUtils.h"
#include "server/FixedPaths.h"
#include "server/ServerFailures.h"

namespace {

constexpr char kHost[] = "127.0.0.1";
constexpr char kUserName[] = "SYSDBA";

enum class ValidationOutcome { Clean, Damaged, Failed, CheckedWhileInUse };

// Runs the validation and tells the operator what it found. Its errors never end the check.
ValidationOutcome ValidationStage(WorkflowContext& context) {
  try {
    SessionLog().Write(checktext::kValidationStart, llPlain);
    ValidateDatabase(context.databaseFile());
    SessionLog().Write(checktext::kValidationClean, llPlain);
    return ValidationOutcome::Clean;
  } catch (const std::exception& e) {
    SessionLog().Write(std::string(checktext::kValidationFailed) + e.what(), llError);
    if (dynamic_cast<const EDatabaseError*>(&e) != nullptr) {
      Show(context.dialogs, DamageBox(e.what() + DamagedTablesReport(context.databaseFile())));
      return ValidationOutcome::Damaged;
    }
    if (IsDatabaseInUseError(e) && CheckWhileInUse(context))
      return ValidationOutcome::CheckedWhileInUse;
    Show(context.dialogs, ValidationErrorBox(e.what()));
    return ValidationOutcome::Failed;
  }
}

// Backs the database up through the backup service and throws the copy away. A cancel by
// the operator leaves here; any other failure is shown.
void TrialBackupStage(WorkflowContext& context, const std::string& backupFile, bool damaged,
                      std::vector<std::string>& verboseLog) {
  try {
    SessionLog().Write(checktext::kBackupStart, llPlain);
    const std::string password = GetFBPassword();
    const std::int32_t port = GetFBPort();
    MakeTrialBackup(kHost, context.databaseFile(), backupFile, kUserName, password, verboseLog,
                    port, /*ShowProgress=*/true, /*KeepBackupFile=*/true);
    SessionLog().Write(checktext::kBackupClean, llPlain);
  } catch (const EBackupFileLeftBehind& e) {
    SessionLog().Write(checktext::kBackupClean, llPlain);
    SessionLog().Write(std::string(checktext::kBackupError) + e.what(), llPlain);
    Show(context.dialogs,
         WithBackupFileLeftNote(damaged ? BackupCleanAfterDamageBox() : BackupCleanBox(),
                                backupFile));
    return;
  } catch (const std::exception& e) {
    os::RemoveFile(backupFile);  // a failed deletion changes nothing for the operator
    SessionLog().Write(std::string(checktext::kBackupError) + e.what(), llPlain);
    if (dynamic_cast<const EProgressCancelByUser*>(&e) != nullptr)
      throw;
    const auto failure = ServerFailureMessageFor(e.what(), context.databaseFile(), backupFile);
    Show(context.dialogs,
         failure ? BackupEnvironmentFailureBox(*failure, e.what()) : BackupFailureBox(e.what()));
    return;
  }
  bool restores = false;
  try {
    restores = ProveBackupRestores(context.dialogs, backupFile);
  } catch (...) {
    os::RemoveFile(backupFile);
    throw;
  }
  // A file that stays (an antivirus scanning it, say) does not change the backup's verdict;
  // the operator is told where it is.
  const bool removed = os::RemoveFile(backupFile) || !os::FileExists(backupFile);
  if (!removed) {
    SessionLog().Write(checktext::kFileNotDeleted + backupFile + ": " + os::LastErrorText(),
                       llPlain);
  }
  if (!restores)
    return;
  const CheckBox verdict = damaged ? BackupCleanAfterDamageBox() : BackupCleanBox();
  Show(context.dialogs, removed ? verdict : WithBackupFileLeftNote(verdict, backupFile));
}

void RunStages(WorkflowContext& context, const std::string& backupFile,
               std::vector<std::string>& verboseLog) {
  const ValidationOutcome outcome = ValidationStage(context);
  if (outcome == ValidationOutcome::CheckedWhileInUse)
    return;
  if (outcome == ValidationOutcome::Clean &&
      Show(context.dialogs, NoDamageQuestionBox()) != DialogResult::Ok) {
    return;
  }
  TrialBackupStage(context, backupFile, outcome == ValidationOutcome::Damaged, verboseLog);
}

// The check deletes its trial backup and the tool log by name before it writes them.
bool CheckWouldDelete(const std::string& databaseFile, const std::string& backupFile) {
  return os::SameTextLocale(databaseFile, backupFile) ||
         os::SameTextLocale(databaseFile, paths::ToolLog()) ||
         os::SameFile(databaseFile, paths::ToolLog());
}

}  // namespace

void CheckDatabase(WorkflowContext& context) {
  if (!os::FileExists(context.databaseFile())) {
    throw Exception(checktext::kDatabaseMissing);
  }
  const std::string backupFile = TrialBackupPath(context.databaseFile());
  if (CheckWouldDelete(context.databaseFile(), backupFile)) {
    throw Exception(Format(checktext::kScratchNameRefused, {context.databaseFile()}));
  }
  SessionLog().Write(std::string(checktext::kCheckStart) + context.databaseFile(), llPlain);
  std::vector<std::string> verboseLog;
  try {
    RunStages(context, backupFile, verboseLog);
  } catch (...) {
    SessionLog().Write(checktext::kCheckDone, llPlain);
    throw;
  }
  SessionLog().Write(checktext::kCheckDone, llPlain);
}
