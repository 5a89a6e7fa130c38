#include "tests/e2e/SessionRecords.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "os/CodePage.h"
#include "os/Files.h"

namespace e2e {

namespace {

// "dd.mm.yyyy hh:mm:ss.mmm"
bool StartsWithStamp(const std::string& line) {
  static const char kShape[] = "00.00.0000 00:00:00.000";
  if (line.size() < sizeof kShape - 1)
    return false;
  for (std::size_t i = 0; i + 1 < sizeof kShape; ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
    if (kShape[i] == '0' ? !digit : line[i] != kShape[i])
      return false;
  }
  return true;
}

SessionRecord RecordOfLine(const std::string& line) {
  SessionRecord r;
  r.stamp = line.substr(0, 23);
  std::string rest = line.substr(23);
  if (rest.rfind(" [", 0) == 0) {
    const std::size_t close = rest.find("] ");
    if (close != std::string::npos) {
      r.tag = rest.substr(1, close);
      rest = rest.substr(close + 1);
    }
  }
  r.text = rest.empty() ? rest : rest.substr(1);
  return r;
}

}  // namespace

std::vector<SessionRecord> ParseSessionLog(const std::string& text) {
  std::vector<SessionRecord> records;
  std::istringstream in(text);
  std::string line;
  // A blank line separates runs only where the next line opens a record: reports inside a
  // record have blank lines of their own.
  int pendingBlank = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.empty()) {
      ++pendingBlank;
      continue;
    }
    if (StartsWithStamp(line)) {
      if (pendingBlank > 0)
        records.push_back({});
      pendingBlank = 0;
      records.push_back(RecordOfLine(line));
      continue;
    }
    if (records.empty())
      records.push_back({});
    for (; pendingBlank > 0; --pendingBlank)
      records.back().text += "\n";
    records.back().text += "\n" + line;
  }
  if (pendingBlank > 0)
    records.push_back({});
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

std::vector<std::string> Texts(const std::vector<SessionRecord>& records) {
  std::vector<std::string> texts;
  for (const SessionRecord& r : records)
    texts.push_back(r.text);
  return texts;
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
    out += "  " + r.stamp + (r.tag.empty() ? "" : " " + r.tag) + " | " + r.text + "\n";
  return out;
}

}  // namespace e2e
