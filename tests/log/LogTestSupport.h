// Shared helpers of the log tests: a scratch directory, whole-file reads, record parsing and
// child processes started directly (no shell in between).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace logtest {

// A fresh directory in the user's temporary directory, removed with its files afterwards.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  // The directory with a trailing delimiter.
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

std::string ReadBytes(const std::string& path);  // "" when missing
void WriteBytes(const std::string& path, const std::string& bytes);
// Splits at CR LF; the text after the last CR LF (normally empty) is returned in `rest`.
std::vector<std::string> SplitRecords(const std::string& bytes, std::string* rest = nullptr);
// True when `line` begins with a time stamp "dd.mm.yyyy hh:nn:ss.zzz"; the rest goes to `after`.
bool HasStamp(const std::string& line, std::string* after = nullptr);
std::vector<std::string> FileNamesIn(const std::string& dir);  // sorted

// A program started with arguments; the destructor waits for it.
class ChildProcess {
 public:
  static std::unique_ptr<ChildProcess> Start(const std::string& program,
                                             const std::vector<std::string>& args);
  virtual ~ChildProcess() = default;
  virtual int Wait() = 0;  // the exit code
};

// A helper program built beside the tests ("name" or "name.exe").
std::string SiblingProgram(const std::string& name);
// Whether other openers can be refused by a share mode (Windows) or not (POSIX).
bool PlatformHasShareModes();
// Takes `name` in both mutex namespaces with objects of another kind, so that creating a
// mutex of that name fails; nullptr where the platform cannot do that (POSIX).
std::shared_ptr<void> OccupyMutexName(const std::string& name);
// Waits up to `timeoutMs` for `path` to appear.
bool WaitForFile(const std::string& path, int timeoutMs);

}  // namespace logtest
