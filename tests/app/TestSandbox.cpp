#include "tests/app/TestSandbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "os/CodePage.h"
#include "os/Environment.h"
#include "os/Files.h"
#include "os/Process.h"
#include "server/FixedPaths.h"

namespace {

std::string UniqueScratch() {
  static std::atomic<int> counter{0};
  const std::string dir = os::TempDirectory() + "velmar-app-" +
                          std::to_string(os::CurrentProcessId()) + "-" + std::to_string(++counter);
  std::filesystem::remove_all(dir);
  EXPECT_TRUE(os::ForceDirectories(dir)) << dir;
  return dir;
}

}  // namespace

TestSandbox::TestSandbox() : scratch_(UniqueScratch()) {
  PointSettingsAt(scratch_);
  ForgetStoredSettings();
  ClearRoot();
}

TestSandbox::~TestSandbox() {
  ForgetStoredSettings();
  std::error_code ignored;
  std::filesystem::remove_all(scratch_, ignored);
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  // The log is written in the system's ANSI code page.
  std::istringstream in(os::AnsiToUtf8(ReadFileText(paths::SessionLogFile())));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}
