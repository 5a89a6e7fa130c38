#include "tests/check/LogRecords.h"

#include <regex>
#include <sstream>

#include "os/CodePage.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "server/FixedPaths.h"

namespace checktest {

std::vector<LogRecord> ParseLogRecords(const std::string& text) {
  static const std::regex stamp(R"(^\d\d[./]\d\d[./]\d{4} \d\d:\d\d:\d\d\.\d{3})");
  std::vector<LogRecord> records;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (!std::regex_search(line, stamp)) {
      if (!records.empty())
        records.back().text += "\n" + line;
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

std::vector<LogRecord> ReadSessionLogRecords() {
  if (!os::FileExists(paths::SessionLogFile()))
    return {};
  return ParseLogRecords(os::AnsiToUtf8(os::ReadWholeFile(paths::SessionLogFile())));
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

}  // namespace checktest
