// The server's online validation, run through the service manager: it reads the user tables
// and their indexes one table at a time while other programs stay attached, and reports each
// table by name. What it does not read: the system tables, the header page, the page and
// transaction inventory pages.
//
//   OnlineValidationOutput output = RunOnlineValidation(request, [&](const auto& table) {
//     show(table);  // after every output line: the table being read; may throw (a cancel)
//   });
//   for (const TableVerdict& table : output.Tables()) ...
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "server/ServerLogin.h"

struct OnlineValidationRequest {
  ServerLogin login;
  std::string databaseFile;  // as the server names it
  // Only these tables (exact names); all user tables when empty.
  std::vector<std::string> tables;
  // How long the server waits for each table's lock before it gives that table up.
  int lockTimeoutSeconds = 1;
};

enum class TableState { Ok, Damaged, Busy };

struct TableVerdict {
  std::string name;
  TableState state = TableState::Ok;
  int errors = 0;                    // as the server counted them
  std::vector<std::string> details;  // its "Error:" and "Warning:" lines, as printed
};

// The validation's output read line by line: one verdict per table, in the server's order.
class OnlineValidationOutput {
 public:
  // Takes one output line.
  void Take(const std::string& line);
  // The table being read ("" between tables).
  std::string CurrentTable() const { return inTable_ ? tables_.back().name : std::string(); }
  const std::vector<TableVerdict>& Tables() const { return tables_; }
  // The server printed its closing line: every table asked for has a verdict.
  bool Finished() const { return finished_; }
  // Lines that belong to no table (a refusal such as "... is not a valid database").
  const std::vector<std::string>& Other() const { return other_; }

 private:
  std::vector<TableVerdict> tables_;
  std::vector<std::string> other_;
  bool inTable_ = false;
  bool busy_ = false;
  bool finished_ = false;
};

// The pattern that selects exactly these tables: their names with the pattern language's
// special characters escaped, joined as alternatives.
std::string ExactTablesPattern(const std::vector<std::string>& names);

// Runs one validation to its end. `onLine` is called after every output line with the table
// being read ("" outside tables), so that a cancel need not wait for the next table. Throws
// EFirebirdError when the server cannot be reached or refuses, and when it stops before its
// closing line (with what it printed instead); errors of `onLine` leave as they are.
OnlineValidationOutput RunOnlineValidation(
    const OnlineValidationRequest& request,
    const std::function<void(const std::string& table)>& onLine);
