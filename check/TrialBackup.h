// A full backup of the database through the server's backup service, thrown away afterwards:
// a backup that reads every record to the end shows that the database can still be read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "os/Exception.h"

// The backup read the whole database, but its file stayed behind (held by another program, or
// not deletable): the backup's verdict stands. The message says why the file stayed.
VELMAR_DECLARE_EXCEPTION(EBackupFileLeftBehind, Exception);

// The trial backup's file beside the database: its name with the extension ".db_backup". The
// check deletes any file of that name, so it must never be the database or its safety copy.
std::string TrialBackupPath(const std::string& databaseFile);

// Backs `DatabaseFile` (as the server names it) up into `BackupFileName` through the service
// manager at Host/Port, showing every output line of the service in a progress window and
// appending it to `VerboseLog` (which is not cleared first). With `ShowProgress` the operator
// may cancel, and the backup file is deleted afterwards; without it the file stays for the
// caller; `KeepBackupFile` keeps it after a good backup too (the check restores it). Every failure
// leaves as an error of the caught error's class, its message chained with the context
// "СозданиеРезервнойКопииБД" (a cancel stays EProgressCancelByUser).
void MakeTrialBackup(const std::string& Host, const std::string& DatabaseFile,
                     const std::string& BackupFileName, const std::string& UserName,
                     const std::string& Password, std::vector<std::string>& VerboseLog,
                     std::int32_t Port, bool ShowProgress, bool KeepBackupFile = false);
