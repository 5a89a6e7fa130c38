#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "os/Files.h"
#include "os/NamedMutex.h"
#include "os/Process.h"
#include "os/Time.h"
#include "tests/os/OsTestPlatform.h"
#include "tests/os/ScratchDir.h"

namespace {

using ostest::ScratchDir;

std::string UniqueName(const std::string& base) {
  return base + "-" + std::to_string(os::CurrentProcessId()) + "-" +
         std::to_string(os::MonotonicMs());
}

std::unique_ptr<os::NamedMutex> CreateOrFail(const std::string& name) {
  os::NamedMutex::Failure failure;
  auto mutex = os::NamedMutex::Create(name, &failure);
  EXPECT_TRUE(mutex) << "stage " << static_cast<int>(failure.stage) << " code " << failure.code;
  return mutex;
}

// Locks a mutex on a thread of its own, so the test can watch whether the lock is granted.
// If a test fails while the thread still waits, the thread is left behind with its own
// reference to the mutex rather than hanging the test program.
class BackgroundLocker {
 public:
  explicit BackgroundLocker(std::shared_ptr<os::NamedMutex> mutex) : state_(new State) {
    state_->mutex = std::move(mutex);
    std::thread([state = state_] {
      state->mutex->Lock();
      state->acquired = true;
      while (!state->release)
        os::SleepMs(2);
      state->mutex->Unlock();
      state->released = true;
    }).detach();
  }
  ~BackgroundLocker() { state_->release = true; }

  bool AcquiredWithin(std::uint32_t ms) const {
    const std::uint64_t deadline = os::MonotonicMs() + ms;
    while (!state_->acquired && os::MonotonicMs() < deadline)
      os::SleepMs(2);
    return state_->acquired;
  }
  bool ReleaseAndWait() {
    state_->release = true;
    const std::uint64_t deadline = os::MonotonicMs() + 10000;
    while (!state_->released && os::MonotonicMs() < deadline)
      os::SleepMs(2);
    return state_->released;
  }

 private:
  struct State {
    std::shared_ptr<os::NamedMutex> mutex;
    std::atomic<bool> acquired{false}, release{false}, released{false};
  };
  std::shared_ptr<State> state_;
};

bool WaitForFile(const std::string& path, std::uint32_t timeoutMs) {
  const std::uint64_t deadline = os::MonotonicMs() + timeoutMs;
  while (!os::FileExists(path)) {
    if (os::MonotonicMs() > deadline)
      return false;
    os::SleepMs(5);
  }
  return true;
}

// Starts the helper holding `name`; returns the helper's own process id once it holds it.
std::uint32_t StartHolder(const ScratchDir& dir, const std::string& name,
                          std::unique_ptr<os::Process>& process) {
  const std::string script = dir / ("holder" + ostest::ScriptExtension());
  ostest::WriteProgramScript(script, ostest::HelperProgram(),
                             {"hold-mutex", name, dir / "holder.ready", dir / "holder.go"});
  process = os::Process::StartHiddenScript(script);
  EXPECT_TRUE(process);
  if (!process || !WaitForFile(dir / "holder.ready", 30000))
    return 0;
  return static_cast<std::uint32_t>(std::stoul(dir.Get("holder.ready")));
}

TEST(NamedMutex, TwoHandlesInOneProcessExcludeEachOther) {
  const std::string name = UniqueName("Global\\velmar-test-threads");
  auto first = CreateOrFail(name);
  std::shared_ptr<os::NamedMutex> second = CreateOrFail(name);
  ASSERT_TRUE(first && second);
  first->Lock();
  BackgroundLocker locker(second);
  EXPECT_FALSE(locker.AcquiredWithin(300));
  first->Unlock();
  EXPECT_TRUE(locker.AcquiredWithin(10000));
  EXPECT_TRUE(locker.ReleaseAndWait());
  first->Lock();  // free again
  first->Unlock();
}

TEST(NamedMutex, ThreadsSharingOneHandleExcludeEachOther) {
  std::shared_ptr<os::NamedMutex> shared = CreateOrFail(UniqueName("velmar-test-shared"));
  ASSERT_TRUE(shared);
  shared->Lock();
  BackgroundLocker locker(shared);
  EXPECT_FALSE(locker.AcquiredWithin(300));
  shared->Unlock();
  EXPECT_TRUE(locker.AcquiredWithin(10000));
  EXPECT_TRUE(locker.ReleaseAndWait());
}

TEST(NamedMutex, AnotherProcessHoldingItKeepsUsOut) {
  ScratchDir dir;
  const std::string name = UniqueName("Global\\velmar-test-process");
  std::unique_ptr<os::Process> holder;
  ASSERT_NE(StartHolder(dir, name, holder), 0u);
  std::shared_ptr<os::NamedMutex> mutex = CreateOrFail(name);
  ASSERT_TRUE(mutex);
  EXPECT_FALSE(mutex->TryLock());
  BackgroundLocker locker(mutex);
  EXPECT_FALSE(locker.AcquiredWithin(500));
  dir.Put("holder.go", "");
  EXPECT_TRUE(locker.AcquiredWithin(20000));
  EXPECT_TRUE(locker.ReleaseAndWait());
  EXPECT_TRUE(holder->Wait(20000));
  // Free now: taken at once, and given back.
  ASSERT_TRUE(mutex->TryLock());
  mutex->Unlock();
}

TEST(NamedMutex, AKilledHolderReleasesIt) {
  ScratchDir dir;
  const std::string name = UniqueName("Global\\velmar-test-killed");
  std::unique_ptr<os::Process> holder;
  const std::uint32_t pid = StartHolder(dir, name, holder);
  ASSERT_NE(pid, 0u);
  std::shared_ptr<os::NamedMutex> mutex = CreateOrFail(name);
  ASSERT_TRUE(mutex);
  BackgroundLocker locker(mutex);
  EXPECT_FALSE(locker.AcquiredWithin(300));
  ostest::KillProcess(pid);  // no chance to unlock: the system must release it
  EXPECT_TRUE(locker.AcquiredWithin(20000));
  EXPECT_TRUE(locker.ReleaseAndWait());
  EXPECT_TRUE(holder->Wait(20000));
}

TEST(NamedMutex, NamesThatLookAlikeAreDistinctMutexes) {
  const std::string base = UniqueName("Global\\velmar-test-names");
  std::vector<std::shared_ptr<os::NamedMutex>> mutexes;
  for (const char* tail : {"x/y", "x_y", "x%2Fy", "x.y", "X/Y"}) {
    mutexes.push_back(CreateOrFail(base + tail));
    ASSERT_TRUE(mutexes.back()) << tail;
  }
  mutexes[0]->Lock();
  for (std::size_t i = 1; i < mutexes.size(); ++i) {
    BackgroundLocker other(mutexes[i]);
    EXPECT_TRUE(other.AcquiredWithin(10000)) << i;
    EXPECT_TRUE(other.ReleaseAndWait()) << i;
  }
  mutexes[0]->Unlock();
}

}  // namespace
