// Counts the rows of every user table of a database through the server's client library
// (the same library the trial backup loads): a read-only transaction per table and
// "select count(*)", on one attachment until a count fails, then on a new one. A table whose
// count fails (a damaged page) has no figure: its count is unknown, never a guess; the other
// tables are still counted, each on an attachment no earlier failure has spoilt.
//
//   TableRowCounts counts = CountTableRows({"127.0.0.1", port, "SYSDBA", password}, path);
//   if (counts.error) log(*counts.error);
//   for (const auto& t : counts.tables) log(t.table, t.rows ? *t.rows : -1);
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "server/ServerLogin.h"

namespace rowcount {

using Login = ServerLogin;

struct TableRows {
  std::string table;                 // the name as the database keeps it, without quotes
  std::optional<std::int64_t> rows;  // nothing when the count failed
  std::string error;                 // the library's text when it failed
};

struct TableRowCounts {
  std::vector<TableRows> tables;  // every user table, by name
  // The database could not be read at all (no tables), or no new attachment could be made
  // after a table's failure (`tables` holds those counted so far).
  std::optional<std::string> error;
  bool cancelled = false;  // stopped on request; `tables` holds those counted so far
};

// Never throws for a failure of the library, the server or the database: that is in
// `error` or in a table's own `error`. `onTable` is called before each table is counted (to
// show which one). A stop request cancels the statement running and ends the counting.
TableRowCounts CountTableRows(const Login& login, const std::string& databaseFile,
                              const std::function<void(const std::string&)>& onTable = {},
                              std::stop_token stop = {});

}  // namespace rowcount
