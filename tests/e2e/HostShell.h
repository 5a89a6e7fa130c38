// The host around the program under test: shell commands (xdotool, ImageMagick) and the
// program's own process. The Windows build runs inside Wine and reaches the host's /bin/sh
// through Wine's support for starting Unix programs.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct HostResult {
  int exitCode = -1;
  std::string output;  // standard output and error stream together
};

// Runs a /bin/sh command line on the host; gives up after `timeoutMs`.
HostResult RunHost(const std::string& command, int timeoutMs = 30000);
// Single-quotes a word for /bin/sh.
std::string ShellQuote(const std::string& word);
// A host path as the program opens it (Wine sees the host's root as drive Z:).
std::string LocalPath(const std::string& hostPath);
// "linux" or "windows".
const char* PlatformName();

// The program under test, started as the operator starts it.
class RunningProgram {
 public:
  // `environment` holds NAME=value pairs added to this process's own environment.
  static std::unique_ptr<RunningProgram> Start(const std::string& path,
                                               const std::vector<std::string>& environment);
  virtual ~RunningProgram() = default;
  // The exit code once the program has ended within `timeoutMs`.
  virtual std::optional<int> Wait(int timeoutMs) = 0;
  virtual void Kill() = 0;
};

}  // namespace e2e
