// The host around a test program: shell commands (xdotool, xwininfo, ImageMagick) and
// programs started as the operator starts them. The Windows build runs inside Wine and
// reaches the host's /bin/sh through Wine's support for starting Unix programs.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct HostResult {
  int exitCode = -1;
  std::string output;  // standard output and error stream together
};

// Runs a /bin/sh command line on the host; gives up after `timeoutMs`.
HostResult RunHost(const std::string& command, int timeoutMs = 60000);
// Single-quotes a word for /bin/sh.
std::string ShellQuote(const std::string& word);
// A host path as this program opens it (Wine sees the host's root as drive Z:).
std::string LocalPath(const std::string& hostPath);
// "linux" or "windows", for file names and platform checks.
const char* PlatformName();
// The text of the system message box with this caption where another program can read it
// (Windows: its static text control); nothing elsewhere, as an FLTK box draws its own text.
std::optional<std::string> MessageBoxText(const std::string& caption);
// Linux: whether a process other than this one has `text` in its command line (a tool the
// program started, and whose end it did not wait for, still running on a file).
bool ToolRunsOn(const std::string& text);

// A program started by the test; killed when the object goes while it still runs.
class HostProgram {
 public:
  // `environment` holds NAME=value pairs added to this process's own environment.
  static std::unique_ptr<HostProgram> Start(const std::string& path,
                                            const std::vector<std::string>& environment);
  virtual ~HostProgram() = default;
  // The exit code once the program has ended within `timeoutMs`.
  virtual std::optional<int> Wait(int timeoutMs) = 0;
  virtual void Kill() = 0;
};

}  // namespace testsupport
