#include "tests/support/TestFiles.h"

#include <exception>
#include <filesystem>
#include <fstream>

#include "os/Files.h"

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

}  // namespace testsupport
