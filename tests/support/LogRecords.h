// The session log read back as records, for comparing with the texts a workflow must write.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testsupport {

struct LogRecord {
  std::string tag;   // " [ошиб]", " [событ]" or empty
  std::string text;  // the record's text, its further lines joined with the caller's break
};

// Parses session log text (UTF-8) into records: a record starts with its time stamp, lines
// without one continue the record before them, joined to it with `lineBreak`.
std::vector<LogRecord> ParseLogRecords(const std::string& text,
                                       const std::string& lineBreak = "\n");

// The records of the program's session log file (written in the ANSI code page on Windows);
// none when there is no file.
std::vector<LogRecord> ReadSessionLogRecords(const std::string& lineBreak = "\n");

std::vector<std::string> TextsOf(const std::vector<LogRecord>& records);

// A record's text as the log reads back: line breaks of the text are written as CR LF and
// read back as "\n".
std::string WithoutCarriageReturns(std::string text);

// The records, leaving out those matching `optional`, are exactly `expected`. A pattern
// ending in '*' matches every record that starts with the rest of it.
::testing::AssertionResult RecordsAre(const std::vector<std::string>& records,
                                      const std::vector<std::string>& expected,
                                      const std::vector<std::string>& optional = {});

}  // namespace testsupport
