// A fresh directory under the user's temporary directory for one test, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "os/Files.h"
#include "os/Process.h"

namespace ostest {

// A UTF-8 path for the standard library, on Windows too.
inline std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

class ScratchDir {
 public:
  ScratchDir() {
    static std::atomic<int> counter{0};
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = os::TempDirectory() + "velmar-os-" + std::to_string(os::CurrentProcessId()) + "-" +
            std::to_string(counter++) + "-" + (test != nullptr ? test->name() : "x");
    std::filesystem::remove_all(FsPath(path_));
    std::filesystem::create_directories(FsPath(path_));
    path_ += os::PathDelimiter();
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FsPath(path_), ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The directory with a trailing delimiter.
  const std::string& Path() const { return path_; }
  // `relative` may use '/'; it is turned into the platform's delimiter.
  std::string operator/(const std::string& relative) const {
    std::string joined = path_ + relative;
    for (char& c : joined)
      if (c == '/')
        c = os::PathDelimiter();
    return joined;
  }

  // Writes a file with `content` through the standard library, not through the code tested.
  void Put(const std::string& relative, const std::string& content) const {
    std::ofstream out(FsPath(*this / relative), std::ios::binary);
    out << content;
    ASSERT_TRUE(out.good()) << relative;
  }
  std::string Get(const std::string& relative) const {
    std::ifstream in(FsPath(*this / relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string path_;
};

}  // namespace ostest
