#include "tests/e2e/SessionRecords.h"

#include <algorithm>

#include "os/CodePage.h"
#include "os/Files.h"

namespace e2e {

std::vector<SessionRecord> ReadSessionRecords(const std::string& path) {
  std::vector<SessionRecord> records = testsupport::ParseLogRecords(ReadSessionLog(path));
  // The blank line that opens the next run was taken as the end of the record before it.
  for (SessionRecord& record : records) {
    while (!record.text.empty() && record.text.back() == '\n')
      record.text.pop_back();
  }
  return records;
}

std::string ReadSessionLog(const std::string& path) {
  return os::FileExists(path) ? os::AnsiToUtf8(os::ReadWholeFile(path)) : "";
}

std::vector<SessionRecord> LastRun(const std::vector<SessionRecord>& records) {
  for (std::size_t i = records.size(); i-- > 0;) {
    if (records[i].text == "Программа запущена")
      return {records.begin() + std::ptrdiff_t(i) + 1, records.end()};
  }
  return {};
}

int FindRecord(const std::vector<SessionRecord>& records, const std::string& prefix, int from) {
  for (std::size_t i = std::size_t(std::max(from, 0)); i < records.size(); ++i) {
    if (records[i].text.rfind(prefix, 0) == 0)
      return int(i);
  }
  return -1;
}

std::string Dump(const std::vector<SessionRecord>& records) {
  std::string out;
  for (const SessionRecord& r : records)
    out += " " + r.tag + " | " + r.text + "\n";
  return out;
}

}  // namespace e2e
