// The operator's safety copy of the damaged file, made before anything touches it.
#pragma once

#include <string>

#include "check/OperatorDialogs.h"

struct SafetyCopyChoice {
  std::string path;
  // A file is at the path and the operator was not asked about it (a path naming a backup):
  // it is an earlier safety copy, perhaps the only copy of the original, and is kept.
  bool keepEarlier = false;
};

// Asks where to save the copy and refuses the database file itself and the names of the
// repair's own scratch files. Throws Exception with the operator's message on every refusal.
SafetyCopyChoice ChooseSafetyCopy(OperatorDialogs& dialogs, const std::string& databaseFile);

// Copies `source` (the database as the repair found it) to the chosen path: whole and
// flushed to the disk before it takes the name. An earlier copy there is kept under a name
// with its date and time, and the log says so. Throws Exception on failure.
void SaveSafetyCopy(const SafetyCopyChoice& choice, const std::string& source);

// "VELMAR_BACKUP.FDB" -> "VELMAR_BACKUP_2026-12-09_10-41-37.FDB", with the file's own time of
// writing (a number is added when that name is taken as well).
std::string EarlierCopyName(const std::string& path);

// The dialog's settings for `databaseFile`, with the default folder made when it can be.
SaveDialogSettings SafetyCopyDialogSettings(const std::string& databaseFile);
