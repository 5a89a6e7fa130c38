// Saving the rows whose long values (BLOB fields) cannot be read. Such a field stops the
// rebuild's backup although every row can still be counted; with the operator's consent just
// those fields are cleared in the database under repair (its original is in the safety
// copy), so the backup can read every row.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "check/OperatorDialogs.h"
#include "server/FbSql.h"

struct UnreadableBlob {
  std::string table;
  std::string column;
  std::string key;        // "ID = 15", or "RDB$DB_KEY = x'..'" for a table without a primary key
  std::string dbKey;      // the record's RDB$DB_KEY as an SQL literal, for the update
  bool required = false;  // NOT NULL: cleared to an empty value instead of NULL
};

// Reads every BLOB field of every row of `databaseFile` and lists those that cannot be read.
// A table whose rows cannot be listed at all is left to the salvage of unreadable tables.
// Throws EFirebirdError when the database cannot be attached at all.
// `onTable` is called before each table is read (to show which one).
std::vector<UnreadableBlob> FindUnreadableBlobs(
    const fbsql::Login& login, const std::string& databaseFile,
    const std::function<void(const std::string&)>& onTable = {});

// The rebuild's backup stopped: finds the unreadable fields of `databaseFile` and, when the
// operator agrees, clears them there. The cleared fields; none when there were none, the
// operator said No or the clearing failed (the failure is in the session log).
std::vector<UnreadableBlob> ClearUnreadableBlobs(OperatorDialogs& dialogs,
                                                 const std::string& databaseFile,
                                                 const std::string& safetyCopy);

// After the replacement: the box that names the cleared fields (nothing when none).
void ReportClearedBlobs(OperatorDialogs& dialogs, const std::vector<UnreadableBlob>& cleared);
