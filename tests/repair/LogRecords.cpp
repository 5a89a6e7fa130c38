#include "tests/repair/LogRecords.h"

#include <regex>
#include <sstream>

namespace repairtest {

namespace {

bool Matches(const std::string& record, const std::string& expected) {
  if (!expected.empty() && expected.back() == '*')
    return record.rfind(expected.substr(0, expected.size() - 1), 0) == 0;
  return record == expected;
}

}  // namespace

std::vector<std::string> ParseRecords(const std::string& text) {
  static const std::regex stamp(R"(^\d\d[./]\d\d[./]\d{4} \d\d:\d\d:\d\d\.\d{3})");
  std::vector<std::string> records;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (!std::regex_search(line, stamp)) {
      if (!records.empty())
        records.back() += "\r\n" + line;
      continue;
    }
    std::string rest = line.substr(23);
    if (rest.rfind(" [", 0) == 0)
      rest = rest.substr(rest.find(']') + 1);
    if (!rest.empty() && rest.front() == ' ')
      rest.erase(0, 1);
    records.push_back(rest);
  }
  return records;
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

}  // namespace repairtest
