// A repair of the same database that the session log shows begun and not finished: its mend
// ran, so the file at the database's path is no longer the original, and the safety copy it
// made holds what the database was before.
#pragma once

#include <optional>
#include <string>

struct UnfinishedRepair {
  std::string safetyCopy;  // empty when the log names none
};

// Reads session log text (UTF-8): the last repair of `databaseFile` (same path in any letter
// case) that recorded the start of its mend and no closing record.
std::optional<UnfinishedRepair> FindUnfinishedRepair(const std::string& logText,
                                                     const std::string& databaseFile);
// The same, from the program's session log file; nothing when it cannot be read.
std::optional<UnfinishedRepair> FindUnfinishedRepairInSessionLog(const std::string& databaseFile);
