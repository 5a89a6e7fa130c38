#include "repair/EarlierRepair.h"

#include <cctype>
#include <sstream>

#include "os/CodePage.h"
#include "os/Files.h"
#include "repair/RepairMessages.h"
#include "server/FixedPaths.h"

using namespace repairtext;

namespace {

constexpr std::size_t kStampLength = 23;  // "09.12.2026 10:41:37.123"

// The text of a record's first line; nothing for a line that continues a record.
std::optional<std::string> RecordText(const std::string& line) {
  if (line.size() < kStampLength || !std::isdigit(static_cast<unsigned char>(line[0])) ||
      line[13] != ':' || line[19] != '.')
    return std::nullopt;
  std::string rest = line.substr(kStampLength);
  if (rest.rfind(" [", 0) == 0 && rest.find(']') != std::string::npos)
    rest.erase(0, rest.find(']') + 1);
  if (!rest.empty() && rest.front() == ' ')
    rest.erase(0, 1);
  while (!rest.empty() && (rest.back() == '\r' || rest.back() == ' '))
    rest.pop_back();
  return rest;
}

bool StartsWith(const std::string& text, const char* prefix, std::string* rest) {
  const std::string head = prefix;
  if (text.rfind(head, 0) != 0)
    return false;
  *rest = text.substr(head.size());
  return true;
}

}  // namespace

std::optional<UnfinishedRepair> FindUnfinishedRepair(const std::string& logText,
                                                     const std::string& databaseFile) {
  std::istringstream lines(logText);
  std::string line;
  bool current = false;  // the last repair begun is one of this database
  bool mended = false;
  UnfinishedRepair found;
  while (std::getline(lines, line)) {
    const std::optional<std::string> text = RecordText(line);
    if (!text)
      continue;
    std::string rest;
    if (StartsWith(*text, kStart, &rest)) {
      current = os::SameTextLocale(rest, databaseFile);
      if (current)
        mended = false, found = {};
    } else if (current && StartsWith(*text, kCopyMade, &rest)) {
      found.safetyCopy = rest;
    } else if (current && *text == kMendStart) {
      mended = true;
    } else if (current && *text == kRepairDone) {
      mended = false;
    }
  }
  if (!mended)
    return std::nullopt;
  return found;
}

std::optional<UnfinishedRepair> FindUnfinishedRepairInSessionLog(const std::string& databaseFile) {
  try {
    if (!os::FileExists(paths::SessionLogFile()))
      return std::nullopt;
    return FindUnfinishedRepair(os::AnsiToUtf8(os::ReadWholeFile(paths::SessionLogFile())),
                                databaseFile);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}
