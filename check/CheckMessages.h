// The texts of the boxes the check shows the operator; lines are joined with CR LF.
#pragma once

#include <string>

#include "check/OperatorDialogs.h"

struct CheckBox {
  std::string caption;
  std::string text;
  DialogButtons buttons;
  DialogIcon icon;
};

// The validation found nothing: ask before the trial backup (OK is the default button).
CheckBox NoDamageQuestionBox();
// The validation reported damage; `report` is its text, ending with a line break.
CheckBox DamageBox(const std::string& report);
// The validation failed for another reason (a cancel included).
CheckBox ValidationErrorBox(const std::string& message);
// The trial backup read the whole database.
CheckBox BackupCleanAfterDamageBox();
CheckBox BackupCleanBox();
// One of the two above, with a note that the backup file stayed and where it is.
CheckBox WithBackupFileLeftNote(CheckBox box, const std::string& backupFile);
// The trial backup failed; `message` is its chained message.
CheckBox BackupFailureBox(const std::string& message);
// The trial backup failed for a reason around the database (a full disk, a refused folder...):
// `failure` is the plain message for it, `message` the chained one.
CheckBox BackupEnvironmentFailureBox(const std::string& failure, const std::string& message);

DialogResult Show(OperatorDialogs& dialogs, const CheckBox& box);
