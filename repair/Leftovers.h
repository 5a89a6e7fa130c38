// What a repair that ended with its process (a crash, a kill, a power cut) left behind,
// looked at when the program starts, before the operator can start anything: the database
// under its work name is put back, a torn safety copy and the tool scripts (which hold the
// administrator's password) are removed, and the operator is told of anything else.
#pragma once

#include <string>

#include "check/OperatorDialogs.h"

// `databaseFile`: the file named in the main window; empty when none.
void CheckRepairLeftovers(OperatorDialogs& dialogs, const std::string& databaseFile);

// True for the name a safety copy has while it is being written ("X.FDB.1234.tmp").
bool IsPartialCopyName(const std::string& fileName);
