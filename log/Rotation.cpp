// Rotation: the log becomes FileName + "000", older numbered files move up by one.
#include <algorithm>
#include <cctype>
#include <climits>
#include <string>
#include <vector>

#include "log/HuxLogger.h"
#include "os/CodePage.h"
#include "os/Files.h"

namespace {

// The runtime's integer conversion: optional blanks and sign, decimal or '$'/"0x" hex, the
// whole text, 32-bit range; anything else gives `fallback`.
int StrToIntDef(const std::string& text, int fallback) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+'))
    negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size())
    return fallback;
  long long value = 0;
  for (; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int digit;
    if (std::isdigit(c)) {
      digit = c - '0';
    } else if (base == 16 && std::isxdigit(c)) {
      digit = std::tolower(c) - 'a' + 10;
    } else {
      return fallback;
    }
    value = value * base + digit;
    if (value > static_cast<long long>(INT_MAX) + 1)
      return fallback;
  }
  if (negative)
    value = -value;
  if (value > INT_MAX || value < INT_MIN)
    return fallback;
  return static_cast<int>(value);
}

struct RotatedFile {
  std::string path;
  int number;
};

}  // namespace

void THuxLogger::RotateFiles() {
  const std::string dir = os::ExtractFilePath(fileName_);
  const std::string ext = os::LowerCase(os::ExtractFileExt(fileName_));
  std::vector<RotatedFile> files;
  for (const auto& entry : os::FindEntries(fileName_ + "*")) {
    if (entry.isDirectory)
      continue;
    const std::string entryExt = os::ExtractFileExt(entry.name);
    if (os::SameTextLocale(entryExt, ext))
      continue;
    if (StrToIntDef(entryExt.substr(std::min(ext.size(), entryExt.size())), -1) < 0)
      continue;
    const std::string path = dir + entry.name;
    files.push_back({path, StrToIntDef(path.substr(std::min(fileName_.size(), path.size())), -1)});
  }
  std::stable_sort(files.begin(), files.end(),
                   [](const RotatedFile& a, const RotatedFile& b) { return a.number < b.number; });
  if (keepFiles_ > 0) {
    while (files.size() > static_cast<size_t>(keepFiles_)) {
      os::RemoveFile(files.back().path);
      files.pop_back();
    }
  }
  // Failed renames are passed over: the log stays oversized and the next record tries again.
  for (auto it = files.rbegin(); it != files.rend(); ++it)
    os::RenameFile(it->path, Format("%s%.3d", {fileName_, std::int64_t{it->number} + 1}));
  os::RenameFile(fileName_, fileName_ + "000");
}
