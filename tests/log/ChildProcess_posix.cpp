#include <spawn.h>
#include <sys/wait.h>

#include <stdexcept>

#include "os/Files.h"
#include "tests/log/LogTestSupport.h"

extern char** environ;

namespace logtest {
namespace {

class PosixChild : public ChildProcess {
 public:
  explicit PosixChild(pid_t pid) : pid_(pid) {}
  ~PosixChild() override {
    if (pid_ > 0)
      Wait();
  }
  int Wait() override {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program,
                                                  const std::vector<std::string>& args) {
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
    throw std::runtime_error("cannot start " + program);
  return std::make_unique<PosixChild>(pid);
}

std::string SiblingProgram(const std::string& name) {
  return os::ProgramDirectory() + name;
}

bool PlatformHasShareModes() {
  return false;
}

// Any name works for the lock files behind POSIX mutexes.
std::shared_ptr<void> OccupyMutexName(const std::string&) {
  return nullptr;
}

}  // namespace logtest
