#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "tests/app/Desktop.h"

extern char** environ;

HostResult RunHostCommand(const std::string& command) {
  HostResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe)
    return result;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string LocalPath(const std::string& hostPath) {
  return hostPath;
}
const char* PlatformName() {
  return "linux";
}

// An FLTK box draws its text itself: nothing outside the program can read it.
std::optional<std::string> MessageBoxText(const std::string&) {
  return std::nullopt;
}

namespace {

class PosixChild : public ChildProgram {
 public:
  explicit PosixChild(pid_t pid) : pid_(pid) {}
  ~PosixChild() override {
    if (!exitCode_)
      Kill();
  }
  std::optional<int> Wait(int timeoutMs) override {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!exitCode_) {
      int status = 0;
      const pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      if (std::chrono::steady_clock::now() >= end)
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

std::unique_ptr<ChildProgram> ChildProgram::Start(
    const std::string& path, const std::vector<std::string>& extraEnvironment) {
  const pid_t pid = fork();
  if (pid < 0)
    return nullptr;
  if (pid == 0) {
    for (const std::string& assignment : extraEnvironment)
      putenv(const_cast<char*>(assignment.c_str()));
    execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return std::make_unique<PosixChild>(pid);
}
