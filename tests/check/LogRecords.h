// The session log read back as records, for comparing with the texts the check must write.
#pragma once

#include <string>
#include <vector>

namespace checktest {

struct LogRecord {
  std::string tag;   // " [ошиб]", " [событ]" or empty
  std::string text;  // the record's text, its further lines joined with "\n"
};

// Parses session log text (UTF-8) into records: a record starts with its time stamp, lines
// without one continue the record before them.
std::vector<LogRecord> ParseLogRecords(const std::string& text);

// The records of the program's session log file (written in the ANSI code page on Windows);
// none when there is no file.
std::vector<LogRecord> ReadSessionLogRecords();

std::vector<std::string> TextsOf(const std::vector<LogRecord>& records);

// A record's text as the log reads back: line breaks of the text are written as CR LF and
// read back as "\n".
std::string WithoutCarriageReturns(std::string text);

}  // namespace checktest
