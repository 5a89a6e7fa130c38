// The repair's two counts of rows and its account of them to the operator (see RowReport).
#pragma once

#include <string>

#include "check/OperatorDialogs.h"
#include "repair/RowReport.h"
#include "server/FbRowCounter.h"

// Counts every user table of `databaseFile` through the local server under a progress
// window. Failures are recorded in the session log and leave the figures unknown; nothing
// here stops the repair (without the client library every count is unknown).
rowcount::TableRowCounts CountRowsForRepair(const std::string& databaseFile);

// Records every table's two figures, one record each.
void RecordRowFigures(const RowReport& report);

// When rows may have been lost, writes the report file beside the safety copy and shows the
// operator the box that names the tables.
void ReportRowLosses(OperatorDialogs& dialogs, const RowReport& report,
                     const std::string& databaseFile, const std::string& safetyCopy);
