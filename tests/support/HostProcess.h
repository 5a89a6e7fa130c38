// A program of the host started from under Wine (Windows build only). Wine starts Unix
// programs but hands back neither their streams nor their exit status, so a small shell
// script runs the program with its streams in files of the host's /tmp and leaves the exit
// status there last, by a rename, so that it is never half read. The program gets a UTF-8
// locale, which the Firebird tools need for non-ASCII paths.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class HostProcess {
 public:
  // `program` is a host path; `args` are passed as they stand. With `mergeStreams` the error
  // stream goes into the output in the order the program writes them, as `2>&1` does.
  // nullptr when the program could not be started.
  static std::unique_ptr<HostProcess> Start(const std::string& program,
                                            const std::vector<std::string>& args,
                                            bool mergeStreams);
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  // What the program wrote to each stream since the last call.
  std::string TakeOutput() { return Take(out_); }
  std::string TakeErrors() { return Take(err_); }
  // The exit status once the program has ended; everything it wrote is in its files by then.
  std::optional<int> ExitStatus();

 private:
  struct Stream {
    std::wstring path;
    HANDLE handle = INVALID_HANDLE_VALUE;
  };
  explicit HostProcess(std::string base);
  static std::string Take(Stream& stream);

  std::string base_;  // host path of the files, without extension
  Stream out_;
  Stream err_;
};

}  // namespace testsupport
