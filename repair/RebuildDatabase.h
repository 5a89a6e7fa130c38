// The last stage of the repair: back the mended file up with gbak, restore the backup into
// a fresh file beside it and put the fresh file in the old one's place.
#pragma once

#include <string>

#include "check/OperatorDialogs.h"
#include "repair/RebuildOptions.h"

// Returns after the replacement (and the operator's OK on the success box). The restored file
// replaces the database only when gbak reported no error, the validation finds it clean and
// no other program has the database open. Throws Exception with the operator's message on
// every failure, after deleting its intermediate backup and the tool log. Whatever the ending,
// either the database file stays at its path or the restored file is complete beside it.
void RebuildDatabase(OperatorDialogs& dialogs, const std::string& databaseFile,
                     const RebuildOptions& options = {});

// The files the stage makes beside the database.
std::string IntermediateBackupPath(const std::string& databaseFile);
std::string RestoredFilePath(const std::string& databaseFile);

// True when `path` names a file the repair of `databaseFile` makes and deletes (the two
// above, the database's work name and the tool log) or the check deletes (its trial backup), in
// any letter case or spelling of its folder.
bool NamesAScratchFile(const std::string& path, const std::string& databaseFile);
