// The operator's safety copy of the damaged file, made before anything touches it.
#pragma once

#include <string>

#include "check/OperatorDialogs.h"

// Asks where to save the copy, refuses the database file itself and the names of the
// repair's own scratch files, and copies the file there: whole and flushed to the disk before
// it replaces an earlier file of that name. Returns the chosen path; throws Exception with the
// operator's message on every refusal or failure.
std::string MakeSafetyCopy(OperatorDialogs& dialogs, const std::string& databaseFile);

// The dialog's settings for `databaseFile`, with the default folder made when it can be.
SaveDialogSettings SafetyCopyDialogSettings(const std::string& databaseFile);
