#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "os/NamedMutex.h"
#include "os/Process.h"
#include "os/Time.h"

namespace {

std::unique_ptr<os::NamedMutex> Create(const std::string& name) {
  os::NamedMutex::Failure failure;
  auto mutex = os::NamedMutex::Create(name, &failure);
  EXPECT_TRUE(mutex) << static_cast<int>(failure.stage) << " " << failure.code;
  EXPECT_EQ(failure.stage, os::NamedMutex::Stage::None);
  return mutex;
}

TEST(PosixNamedMutex, GlobalPrefixNamesTheSameMutexAndLongNamesWork) {
  const std::string base = "velmar-test-prefix-" + std::to_string(os::CurrentProcessId()) + "-" +
                           std::to_string(os::MonotonicMs());
  auto global = Create("Global\\" + base);
  auto plain = Create(base);
  auto longOne = Create(base + std::string(1000, '\\'));
  auto longTwo = Create(base + std::string(1000, '\\') + "2");
  ASSERT_TRUE(global && plain && longOne && longTwo);

  // Both names lock one file: a probe on it is refused while either of them holds it.
  const int probe = ::open(("/tmp/.velmar-mutex/" + base + ".lock").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(probe, 0);
  for (os::NamedMutex* holder : {global.get(), plain.get()}) {
    holder->Lock();
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0);
    holder->Unlock();
    EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0);
    ::flock(probe, LOCK_UN);
  }
  ::close(probe);

  // The shared directory lets every account add its lock files.
  struct stat info {};
  ASSERT_EQ(::stat("/tmp/.velmar-mutex", &info), 0);
  EXPECT_EQ(info.st_mode & 01777, 01777u);

  longOne->Lock();
  longTwo->Lock();  // different names, even when both are far too long for a file name
  longTwo->Unlock();
  longOne->Unlock();
}

// A lock file another account left behind, which this one may only read, still serves.
TEST(PosixNamedMutex, AnotherAccountsReadOnlyLeftoverDoesNotBlock) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to act as another account";
  const std::string base = "velmar-test-leftover-" + std::to_string(os::CurrentProcessId());
  ASSERT_TRUE(Create(base));  // makes the directory and the file
  const std::string path = "/tmp/.velmar-mutex/" + base + ".lock";
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0)
      ::_exit(2);
    auto mutex = os::NamedMutex::Create(base, nullptr);
    if (!mutex)
      ::_exit(1);
    mutex->Lock();
    mutex->Unlock();
    ::_exit(0);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  ::unlink(path.c_str());
}

}  // namespace
