#include <gtest/gtest.h>

#include <thread>

#include "os/Files.h"
#include "os/Process.h"
#include "os/SystemError.h"
#include "os/Time.h"
#include "tests/os/OsTestPlatform.h"
#include "tests/os/ScratchDir.h"

namespace {

using ostest::ScratchDir;

// Starts the helper through a hidden script: `wait-then-touch <go> <marker>`.
std::unique_ptr<os::Process> StartWaiter(const ScratchDir& dir, const std::string& name) {
  const std::string script = dir / (name + ostest::ScriptExtension());
  ostest::WriteProgramScript(script, ostest::HelperProgram(),
                             {"wait-then-touch", dir / (name + ".go"), dir / (name + ".done")});
  return os::Process::StartHiddenScript(script);
}

bool WaitForFile(const std::string& path, std::uint32_t timeoutMs) {
  const std::uint64_t deadline = os::MonotonicMs() + timeoutMs;
  while (!os::FileExists(path)) {
    if (os::MonotonicMs() > deadline)
      return false;
    os::SleepMs(5);
  }
  return true;
}

TEST(Process, WaitReturnsAsSoonAsTheScriptEnds) {
  ScratchDir dir;
  auto process = StartWaiter(dir, "prompt");
  ASSERT_TRUE(process) << os::LastErrorCode();
  EXPECT_NE(process->Id(), 0u);
  EXPECT_NE(process->Id(), os::CurrentProcessId());

  // Still waiting for its go file: a 100 ms wait runs out.
  std::uint64_t start = os::MonotonicMs();
  EXPECT_FALSE(process->Wait(100));
  EXPECT_GE(os::MonotonicMs() - start, 95u);
  EXPECT_EQ(process->ExitStatus(), std::nullopt);

  dir.Put("prompt.go", "");
  ASSERT_TRUE(WaitForFile(dir / "prompt.done", 20000));
  // The helper has finished its work and ends now: the wait must end with it, long before
  // its time-out.
  start = os::MonotonicMs();
  EXPECT_TRUE(process->Wait(2000));
  const std::uint64_t noticedMs = os::MonotonicMs() - start;
  EXPECT_LT(noticedMs, 500u);
  RecordProperty("end_noticed_ms", static_cast<int>(noticedMs));

  // Once ended, Wait answers at once, every time.
  start = os::MonotonicMs();
  EXPECT_TRUE(process->Wait(5000));
  EXPECT_TRUE(process->Wait(0));
  EXPECT_LT(os::MonotonicMs() - start, 50u);
  EXPECT_EQ(process->ExitStatus(), 0);
}

TEST(Process, ALongWaitEndsWithTheProcessNotWithTheTimeOut) {
  ScratchDir dir;
  auto process = StartWaiter(dir, "long");
  ASSERT_TRUE(process);
  dir.Put("long.go", "");
  const std::uint64_t start = os::MonotonicMs();
  EXPECT_TRUE(process->Wait(60000));
  EXPECT_LT(os::MonotonicMs() - start, 15000u);
  EXPECT_TRUE(os::FileExists(dir / "long.done"));
}

TEST(Process, DroppingTheProcessLeavesTheScriptRunning) {
  ScratchDir dir;
  // The script's second step runs only if the script itself (not just its first program)
  // survives being let go.
  const std::string script = dir / ("dropped" + ostest::ScriptExtension());
  ostest::WriteProgramScript(script, ostest::HelperProgram(),
                             {{"wait-then-touch", dir / "dropped.go", dir / "first.done"},
                              {"wait-then-touch", dir / "first.done", dir / "second.done"}});
  auto process = os::Process::StartHiddenScript(script);
  ASSERT_TRUE(process);
  EXPECT_FALSE(process->Wait(50));
  process.reset();
  dir.Put("dropped.go", "");
  EXPECT_TRUE(WaitForFile(dir / "first.done", 20000));
  EXPECT_TRUE(WaitForFile(dir / "second.done", 20000));
}

TEST(Process, AMissingScriptFailsWithAnErrorCode) {
  ScratchDir dir;
  os::SetLastErrorCode(0);
  EXPECT_EQ(os::Process::StartHiddenScript(dir / ("missing" + ostest::ScriptExtension())), nullptr);
  EXPECT_NE(os::LastErrorCode(), 0);
}

TEST(Process, CurrentIdsAreReal) {
  EXPECT_NE(os::CurrentProcessId(), 0u);
  EXPECT_NE(os::CurrentThreadId(), 0u);
  std::uint32_t other = 0;
  std::thread([&other] { other = os::CurrentThreadId(); }).join();
  EXPECT_NE(other, 0u);
  EXPECT_NE(other, os::CurrentThreadId());
}

}  // namespace
