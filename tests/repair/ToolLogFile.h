// A temporary file with given bytes, removed when the test is done.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "os/Process.h"

class ScratchFile {
 public:
  explicit ScratchFile(const std::string& bytes) {
    static std::atomic<int> counter{0};
    path_ = (std::filesystem::temp_directory_path() /
             ("repair-tool-log-" + std::to_string(os::CurrentProcessId()) + "-" +
              std::to_string(counter++) + ".log"))
                .string();
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};
