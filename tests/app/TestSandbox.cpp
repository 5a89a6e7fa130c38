#include "tests/app/TestSandbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

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

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}
