// The validation run: the server's gfix with full validation against the local server,
// its output turned into a report with Russian headings. The check and the repair call it.
#pragma once

#include <string>

#include "os/Exception.h"

// Damage found: the message is the validation report.
VELMAR_DECLARE_EXCEPTION(EDatabaseError, Exception);

// Returns normally when the tool reported nothing. Raises EDatabaseError with the report
// when it complained about the database or the server broke the connection while at work; a
// plain Exception when the tool or the file is missing, the work directory cannot be made,
// the database is in use elsewhere, or the server refused the login or could not be reached
// (the report is then its message); and passes on the runner's errors
// (EProgressCancelByUser included) and those of GetFBPort and GetFBPassword.
void ValidateDatabase(const std::string& databaseFile);

// The report made from the tool's output: its lines, each ended by CR LF, with the first
// occurrence of each English heading replaced by its Russian one.
std::string ValidationReport(const std::string& toolOutput);

// gfix's refusal to work on a database that another application has attached, read from the
// tool's output (the mend's as well as the validation's), and the operator's message for it.
bool ToolSaysDatabaseInUse(const std::string& toolOutput);
std::string DatabaseInUseMessage();

// What ValidateDatabase throws (with DatabaseInUseMessage) when gfix finds the database
// attached elsewhere: callers tell it by its type, not by its words.
VELMAR_DECLARE_EXCEPTION(EDatabaseInUse, Exception);
