// The session log as the operator's support reads it: records with their tag and text, cut
// into the runs of the program.
#pragma once

#include <string>
#include <vector>

#include "tests/support/LogRecords.h"

namespace e2e {

using SessionRecord = testsupport::LogRecord;
using testsupport::TextsOf;

// The records of the session log file (on Windows written in the ANSI code page); a run's
// opening blank line belongs to no record.
std::vector<SessionRecord> ReadSessionRecords(const std::string& path);
// The log file's text as UTF-8.
std::string ReadSessionLog(const std::string& path);
// The records from the last "Программа запущена" on, that record excluded.
std::vector<SessionRecord> LastRun(const std::vector<SessionRecord>& records);
// The first record at or after `from` whose text starts with `prefix`; -1 when none.
int FindRecord(const std::vector<SessionRecord>& records, const std::string& prefix, int from = 0);
// The records for people reading a failure.
std::string Dump(const std::vector<SessionRecord>& records);

}  // namespace e2e
