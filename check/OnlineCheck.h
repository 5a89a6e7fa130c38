// The check of a database that other programs keep open (a till that sells around the clock),
// through the server's online validation, and the names of the damaged tables after a full
// validation found damage.
#pragma once

#include <exception>
#include <string>

#include "check/WorkflowContext.h"

// The full validation's refusal because another program has the database open.
bool IsDatabaseInUseError(const std::exception& e);

// Offers the operator to check the database without closing the programs (default No). On
// Yes, runs the online validation table by table and shows its verdict; returns true, and the
// check ends there (no trial backup of a live database). Returns false on No. A cancel by the
// operator leaves as EProgressCancelByUser.
bool CheckWhileInUse(WorkflowContext& context);

// After the full validation reported damage: the online validation of the same file, and its
// verdict as lines to add to the report (each ended by CR LF), naming the damaged tables.
// Empty when it could not run (the reason is logged) or the operator cancelled it.
std::string DamagedTablesReport(const std::string& databaseFile);
