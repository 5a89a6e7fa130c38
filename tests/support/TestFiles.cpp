#include "tests/support/TestFiles.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <fstream>

#include "os/Files.h"
#include "tests/support/KoraSandbox.h"

namespace fs = std::filesystem;

namespace testsupport {

namespace {

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

std::string FileBytes(const std::string& path) {
  try {
    return os::FileExists(path) ? os::ReadWholeFile(path) : "<missing>";
  } catch (const std::exception&) {  // gone between the two looks, as files in /proc do
    return "<missing>";
  }
}

bool PutFile(const std::string& path, const std::string& bytes) {
  std::error_code ignored;
  fs::create_directories(PathOf(path).parent_path(), ignored);
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out.flush());
}

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

bool SamePathText(const std::string& a, const std::string& b) {
  const auto folded = [](char c) {
    return OnWindows() ? std::tolower(static_cast<unsigned char>(c)) : c;
  };
  return std::ranges::equal(a, b, [&](char x, char y) { return folded(x) == folded(y); });
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const os::DirEntry& entry : os::FindEntries(os::IncludeTrailingDelimiter(folder) + "*"))
    if (entry.name != "." && entry.name != "..")
      names.push_back(entry.name);
  return names;
}

}  // namespace testsupport
