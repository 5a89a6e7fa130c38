#include "tests/log/LogTestSupport.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "os/Files.h"
#include "os/Process.h"
#include "os/Time.h"

namespace logtest {
namespace {

std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  path_ = os::TempDirectory() + "velmar-log-" + std::to_string(os::CurrentProcessId()) + "-" +
          std::to_string(counter++);
  std::filesystem::remove_all(FsPath(path_));
  std::filesystem::create_directories(FsPath(path_));
  path_ += os::PathDelimiter();
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(FsPath(path_), ignored);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::vector<std::string> SplitRecords(const std::string& bytes, std::string* rest) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos)
      break;
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  if (rest)
    *rest = bytes.substr(start);
  return lines;
}

bool HasStamp(const std::string& line, std::string* after) {
  static const char kShape[] = "dd.dd.dddd dd:dd:dd.ddd";
  if (line.size() < sizeof kShape - 1)
    return false;
  for (size_t i = 0; i + 1 < sizeof kShape; ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
    if (kShape[i] == 'd' ? !digit : line[i] != kShape[i])
      return false;
  }
  if (after)
    *after = line.substr(sizeof kShape - 1);
  return true;
}

std::vector<std::string> FileNamesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(FsPath(dir))) {
    const auto name = entry.path().filename().u8string();
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool WaitForFile(const std::string& path, int timeoutMs) {
  const auto deadline = os::MonotonicMs() + static_cast<std::uint64_t>(timeoutMs);
  while (!os::FileExists(path)) {
    if (os::MonotonicMs() >= deadline)
      return false;
    os::SleepMs(1);
  }
  return true;
}

}  // namespace logtest
