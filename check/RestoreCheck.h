// The check's proof that the trial backup gives a working database again: a backup can read
// every record and still not restore (two rows sharing a key that a damaged index let in,
// a reference whose target is gone). The backup is restored through the server into a
// scratch file of the work folder, which is deleted afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/CheckMessages.h"
#include "server/ServerLogin.h"

using RestoreLogin = ServerLogin;

// Restores `backupFile` into the scratch file under a progress window the operator may cancel
// (EProgressCancelByUser leaves here, after the server has ended). Returns the restore's error
// lines when the backup does not restore (the restore failed, or left the new database
// off-line or without an index); empty when it restored whole. Other failures (the server or
// its client library) throw Exception.
std::vector<std::string> RestoreTrialBackup(const RestoreLogin& login,
                                            const std::string& backupFile);

// The check's stage after a good trial backup: restores it (login from the suite's library),
// records the outcome and shows the box when it does not restore. False then. A failure of
// the server or its library is recorded and leaves the verdict to the backup (true); the
// operator's cancel leaves as EProgressCancelByUser.
bool ProveBackupRestores(OperatorDialogs& dialogs, const std::string& backupFile);

// The scratch file in the work folder.
std::string RestoreCheckFile();

// The box after a backup that does not restore; `errorLines` as RestoreTrialBackup gave them.
CheckBox RestoreFailureBox(const std::vector<std::string>& errorLines);
