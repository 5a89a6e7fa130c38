// Saving what can be saved when the rebuild's backup stops at a table that cannot be read at
// all: with the operator's consent the database is rebuilt without that table's rows, so
// every other table survives. The safety copy keeps the original.
#pragma once

#include <string>
#include <vector>

#include "check/OperatorDialogs.h"
#include "repair/RowReport.h"
#include "server/FbRowCounter.h"

// Runs the rebuild stage; when its backup stops and some tables of the mended database
// cannot be counted, offers to rebuild without their rows (and again, a few times at most,
// when another table stops the next backup). Counts the restored file into `report` and
// marks the emptied tables there. Every other ending is the rebuild's own. `workFile` is
// where the database sits meanwhile (see RebuildOptions).
void RebuildSavingWhatCan(OperatorDialogs& dialogs, const std::string& databaseFile,
                          const std::string& workFile, const std::string& safetyCopy,
                          RowReport& report);

namespace salvage {

// The tables whose count failed.
std::vector<std::string> UnreadableTables(const rowcount::TableRowCounts& counts);
// gbak -skip_data takes a SIMILAR TO pattern (backslash escapes, letter case ignored) that
// must match a whole table name: "(ORDERS|SALES\_ITEMS)". Empty when a name cannot be passed
// through a command line unchanged, or when the pattern would also match one of `allTables`
// that is not to be skipped (a name differing only in letter case).
std::string SkipDataPattern(const std::vector<std::string>& tables,
                            const std::vector<std::string>& allTables);
}  // namespace salvage
