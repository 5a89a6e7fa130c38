#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/HostShell.h"
#include "tests/support/TestFiles.h"

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

int ElapsedMs(Clock::time_point since) {
  return int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Waits for the child within what is left of the time-out; kills its group after that.
int Reap(pid_t pid, Clock::time_point start, int timeoutMs) {
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (ElapsedMs(start) > timeoutMs) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace

HostResult RunHost(const std::string& command, int timeoutMs) {
  HostResult result;
  int out[2];
  if (pipe(out) != 0)
    return result;
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) {
    close(out[0]);
    close(out[1]);
    return result;
  }
  if (pid == 0) {
    // A group of its own, so that a command past its time-out goes with all it started.
    setpgid(0, 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(out[0]);
    close(out[1]);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  char buffer[4096];
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    const int left = timeoutMs - ElapsedMs(start);
    if (left <= 0 || poll(&p, 1, left) <= 0)
      break;
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0)
      break;
    result.output.append(buffer, std::size_t(n));
  }
  close(out[0]);
  result.exitCode = Reap(pid, start, timeoutMs);
  return result;
}

std::string LocalPath(const std::string& hostPath) {
  return hostPath;
}

const char* PlatformName() {
  return "linux";
}

std::optional<std::string> MessageBoxText(const std::string&) {
  return std::nullopt;
}

bool ToolRunsOn(const std::string& text) {
  const std::string self = std::to_string(getpid());
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
      continue;
    if (FileBytes((entry.path() / "cmdline").string()).find(text) != std::string::npos)
      return true;
  }
  return false;
}

namespace {

class PosixProgram : public HostProgram {
 public:
  explicit PosixProgram(pid_t pid) : pid_(pid) {}
  ~PosixProgram() override { Kill(); }
  std::optional<int> Wait(int timeoutMs) override {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!exitCode_) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      if (Clock::now() >= end)
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return exitCode_;
  }
  void Kill() override {
    if (exitCode_)
      return;
    kill(pid_, SIGKILL);
    Wait(5000);
  }

 private:
  pid_t pid_;
  std::optional<int> exitCode_;
};

}  // namespace

std::unique_ptr<HostProgram> HostProgram::Start(const std::string& path,
                                                const std::vector<std::string>& environment) {
  const pid_t pid = fork();
  if (pid < 0)
    return nullptr;
  if (pid == 0) {
    for (const std::string& assignment : environment) {
      const std::size_t eq = assignment.find('=');
      setenv(assignment.substr(0, eq).c_str(), assignment.substr(eq + 1).c_str(), 1);
    }
    execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return std::make_unique<PosixProgram>(pid);
}

}  // namespace testsupport
