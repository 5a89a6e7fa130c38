#include "tests/support/LogRecords.h"

#include <regex>
#include <sstream>

#include "os/CodePage.h"
#include "os/Files.h"
#include "server/FixedPaths.h"

namespace testsupport {

namespace {

bool Matches(const std::string& record, const std::string& expected) {
  if (!expected.empty() && expected.back() == '*')
    return record.rfind(expected.substr(0, expected.size() - 1), 0) == 0;
  return record == expected;
}

}  // namespace

std::vector<LogRecord> ParseLogRecords(const std::string& text, const std::string& lineBreak) {
  static const std::regex stamp(R"(^\d\d[./]\d\d[./]\d{4} \d\d:\d\d:\d\d\.\d{3})");
  std::vector<LogRecord> records;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (!std::regex_search(line, stamp)) {
      if (!records.empty())
        records.back().text += lineBreak + line;
      continue;
    }
    std::string rest = line.substr(23);
    LogRecord record;
    if (rest.rfind(" [", 0) == 0) {
      const std::size_t close = rest.find(']');
      record.tag = rest.substr(0, close + 1);
      rest = rest.substr(close + 1);
    }
    if (!rest.empty() && rest.front() == ' ')
      rest.erase(0, 1);
    record.text = rest;
    records.push_back(record);
  }
  return records;
}

std::vector<LogRecord> ReadSessionLogRecords(const std::string& lineBreak) {
  if (!os::FileExists(paths::SessionLogFile()))
    return {};
  return ParseLogRecords(os::AnsiToUtf8(os::ReadWholeFile(paths::SessionLogFile())), lineBreak);
}

std::vector<std::string> TextsOf(const std::vector<LogRecord>& records) {
  std::vector<std::string> texts;
  for (const LogRecord& record : records)
    texts.push_back(record.text);
  return texts;
}

std::string WithoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

::testing::AssertionResult RecordsAre(const std::vector<std::string>& records,
                                      const std::vector<std::string>& expected,
                                      const std::vector<std::string>& optional) {
  std::vector<std::string> kept;
  for (const std::string& record : records) {
    bool isOptional = false;
    for (const std::string& pattern : optional)
      isOptional |= Matches(record, pattern);
    if (!isOptional)
      kept.push_back(record);
  }
  bool same = kept.size() == expected.size();
  for (std::size_t i = 0; same && i < kept.size(); ++i)
    same = Matches(kept[i], expected[i]);
  if (same)
    return ::testing::AssertionSuccess();
  auto result = ::testing::AssertionFailure() << "records:\n";
  for (const std::string& record : records)
    result << "  | " << record << "\n";
  result << "expected:\n";
  for (const std::string& line : expected)
    result << "  | " << line << "\n";
  return result;
}

}  // namespace testsupport
