// The shop's triggers must not take the repair's own writes for changes of theirs (stamps,
// journals, stock movements): they are switched off around those writes and back on after.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "server/FbSql.h"

namespace tabletriggers {

// Switches off the active triggers of `tables` and commits; returns their names.
std::vector<std::string> Suspend(fbsql::Connection& db, const std::set<std::string>& tables);
// Rolls back what is open and switches `triggers` on again.
void Resume(fbsql::Connection& db, const std::vector<std::string>& triggers);

}  // namespace tabletriggers
