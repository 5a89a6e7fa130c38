// What a check and a repair both need before they touch anything: their server tools, the
// database file and the work folder, tested in that order.
#pragma once

#include <initializer_list>
#include <string>

// Throws Exception with the operator's message for the first thing missing; creates the work
// folder when it is not there yet.
void RequireToolsDatabaseAndWorkFolder(std::initializer_list<std::string> tools,
                                       const std::string& databaseFile);
