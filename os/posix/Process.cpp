#include "os/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>
#include <vector>

#include "os/Exception.h"
#include "os/SystemError.h"
#include "os/Time.h"

extern char** environ;

namespace os {

namespace {

// Closes descriptors first..last (async-signal-safe: runs in the child between fork and exec).
void CloseRange(unsigned first, unsigned last) {
  if (first > last)
    return;
#ifdef SYS_close_range
  if (::syscall(SYS_close_range, first, last, 0u) == 0)
    return;
#endif
  const long limit = ::sysconf(_SC_OPEN_MAX);
  const unsigned end = limit > 0 && static_cast<unsigned long>(limit) <= last
                           ? static_cast<unsigned>(limit - 1)
                           : (last > 65535u ? 65535u : last);
  for (unsigned fd = first; fd <= end; ++fd)
    ::close(static_cast<int>(fd));
}

// The child side of StartHiddenScript; never returns.
[[noreturn]] void RunScriptInChild(const char* const* argv, const char* const* envp, int reportFd) {
  ::setsid();
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::signal(SIGPIPE, SIG_DFL);
  // Move the report pipe above the standard three before they are replaced.
  const int report = ::fcntl(reportFd, F_DUPFD_CLOEXEC, 3);
  if (report < 0)
    ::_exit(127);
  const int null = ::open("/dev/null", O_RDWR);
  if (null >= 0) {
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
  }
  CloseRange(3, static_cast<unsigned>(report) - 1);
  CloseRange(static_cast<unsigned>(report) + 1, ~0u);
  ::execve(argv[0], const_cast<char* const*>(argv), const_cast<char* const*>(envp));
  const int code = errno;
  (void)!::write(report, &code, sizeof code);
  ::_exit(127);
}

int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  errno = ENOSYS;
  return -1;
#endif
}

// A wait that fails is an error, not "still running": the caller would spin without sleeping.
[[noreturn]] void ThrowWaitError(int code) {
  throw Exception("Ошибка при ожидании завершения процесса: " + SystemErrorText(code));
}

class PosixProcess : public Process {
 public:
  explicit PosixProcess(pid_t pid) : pid_(pid), pidfd_(OpenPidFd(pid)) {
    if (pidfd_ >= 0)
      ::fcntl(pidfd_, F_SETFD, FD_CLOEXEC);
  }

  ~PosixProcess() override {
    if (pidfd_ >= 0)
      ::close(pidfd_);
    // The script runs on after we let go of it; someone must still collect its exit status,
    // or it would stay a zombie for the rest of our life.
    if (reaped_)
      return;
    const pid_t pid = pid_;
    try {
      std::thread([pid] {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
      }).detach();
    } catch (const std::system_error&) {
      // No thread to spare: a zombie until we exit is better than stopping the script.
    }
  }

  bool Wait(std::uint32_t timeoutMs) override {
    if (reaped_ || TryReap())
      return true;
    const std::uint64_t deadline = MonotonicMs() + timeoutMs;
    for (;;) {
      const std::uint64_t now = MonotonicMs();
      if (now >= deadline)
        return TryReap();
      // poll() takes an int; longer waits simply go round the loop again.
      const int left = static_cast<int>(std::min<std::uint64_t>(deadline - now, 1u << 30));
      if (pidfd_ >= 0) {
        pollfd ready{pidfd_, POLLIN, 0};
        if (::poll(&ready, 1, left) < 0 && errno != EINTR)
          ThrowWaitError(errno);
      } else {
        // Without pidfd there is nothing to sleep on; short naps keep the answer prompt.
        SleepMs(left < 2 ? static_cast<std::uint32_t>(left) : 2u);
      }
      if (TryReap())
        return true;
    }
  }

  std::uint32_t Id() const override { return static_cast<std::uint32_t>(pid_); }
  std::optional<int> ExitStatus() const override { return status_; }

 private:
  bool TryReap() {
    pid_t done;
    int status = 0;
    do {
      done = ::waitpid(pid_, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == pid_) {
      reaped_ = true;
      if (WIFEXITED(status))
        status_ = WEXITSTATUS(status);
      else if (WIFSIGNALED(status))
        status_ = 128 + WTERMSIG(status);
    } else if (done < 0 && errno == ECHILD) {
      // Somebody else collected it (a SIGCHLD set to be ignored): ended, status unknown.
      reaped_ = true;
    } else if (done < 0)
      ThrowWaitError(errno);
    return reaped_;
  }

  pid_t pid_;
  int pidfd_;
  bool reaped_ = false;
  std::optional<int> status_;
};

// This process's environment with `extra` set on top, as execve takes it.
std::vector<std::string> ChildEnvironment(const EnvironmentVariables& extra) {
  std::vector<std::string> entries;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    const bool replaced = std::any_of(extra.begin(), extra.end(), [&name](const auto& variable) {
      return variable.first == name;
    });
    if (!replaced)
      entries.push_back(text);
  }
  for (const auto& [name, value] : extra)
    entries.push_back(name + "=" + value);
  return entries;
}

}  // namespace

std::unique_ptr<Process> Process::StartHiddenScript(const std::string& scriptPath,
                                                    const EnvironmentVariables& extra) {
  if (::access(scriptPath.c_str(), R_OK) != 0)
    return nullptr;
  // Everything the child needs is prepared before fork: after it only async-signal-safe calls.
  const char* argv[] = {"/bin/sh", scriptPath.c_str(), nullptr};
  const std::vector<std::string> environment = ChildEnvironment(extra);
  std::vector<const char*> envp;
  for (const std::string& entry : environment)
    envp.push_back(entry.c_str());
  envp.push_back(nullptr);
  int report[2];  // the child reports a failed exec through this pipe
  if (::pipe2(report, O_CLOEXEC) != 0)
    return nullptr;

  const pid_t pid = ::fork();
  if (pid < 0) {
    const int code = errno;
    ::close(report[0]);
    ::close(report[1]);
    errno = code;
    return nullptr;
  }
  if (pid == 0)
    RunScriptInChild(argv, envp.data(), report[1]);

  ::close(report[1]);
  int code = 0;
  ssize_t got;
  do {
    got = ::read(report[0], &code, sizeof code);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  if (got == sizeof code) {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    errno = code;
    return nullptr;
  }
  return std::make_unique<PosixProcess>(pid);
}

std::uint32_t CurrentProcessId() {
  return static_cast<std::uint32_t>(::getpid());
}

std::uint32_t CurrentThreadId() {
  return static_cast<std::uint32_t>(::gettid());
}

}  // namespace os
