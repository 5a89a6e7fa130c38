// Starting a script as a hidden process and waiting for it. Dropping a Process never stops
// the process it started: a cancelled tool runs on to its own end.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace os {

// Variables set for a started process on top of this process's own environment. Secrets go
// this way rather than on a command line, which every user can read in the process list.
using EnvironmentVariables = std::vector<std::pair<std::string, std::string>>;

class Process {
 public:
  // Starts `scriptPath` hidden: on Windows a batch file through `cmd /d /v:off /s /c`
  // (CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, SW_HIDE); on POSIX a /bin/sh script in a new
  // session with standard streams on /dev/null. Returns nullptr on failure and leaves the
  // error code for LastErrorCode().
  static std::unique_ptr<Process> StartHiddenScript(const std::string& scriptPath,
                                                    const EnvironmentVariables& extra = {});
  virtual ~Process() = default;

  // Waits at most `timeoutMs` for the process to end; true once it has ended. Returns as
  // soon as the process ends, not at the end of the time-out. Throws Exception with the
  // system's text when the wait itself fails.
  virtual bool Wait(std::uint32_t timeoutMs) = 0;
  virtual std::uint32_t Id() const = 0;
  // The exit status once Wait has returned true (on POSIX 128 + the signal for a process
  // ended by a signal); empty before that, or when the system could not tell it.
  virtual std::optional<int> ExitStatus() const = 0;
};

std::uint32_t CurrentProcessId();
std::uint32_t CurrentThreadId();

}  // namespace os
