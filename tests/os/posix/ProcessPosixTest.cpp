#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "os/Files.h"
#include "os/Process.h"
#include "os/Time.h"
#include "tests/os/OsTestPlatform.h"
#include "tests/os/ScratchDir.h"

namespace {

using ostest::ScratchDir;

std::string ProcStat(std::uint32_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  return line;
}

std::string LinkTarget(const std::string& link) {
  char target[4096];
  const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
  return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

TEST(PosixProcess, ScriptRunsInItsOwnSessionWithNullStreamsAndNoInheritedFiles) {
  ScratchDir dir;
  dir.Put("leak.txt", "");
  // A descriptor the program forgot to mark close-on-exec must still not reach the script.
  const int leak = ::open((dir / "leak.txt").c_str(), O_RDONLY);
  ASSERT_GE(leak, 0);
  dir.Put("waiting.sh", "while [ ! -e '" + dir / "go" + "' ]; do sleep 0.01; done\n");
  auto process = os::Process::StartHiddenScript(dir / "waiting.sh");
  ::close(leak);
  ASSERT_TRUE(process);
  const std::string fdDir = "/proc/" + std::to_string(process->Id()) + "/fd/";
  for (const char* stream : {"0", "1", "2"})
    EXPECT_EQ(LinkTarget(fdDir + stream), "/dev/null");
  for (const auto& entry : os::FindEntries(fdDir + "*"))
    EXPECT_EQ(LinkTarget(fdDir + entry.name).find("leak.txt"), std::string::npos) << entry.name;
  // Field 6 of the stat line is the session: the script leads a session of its own.
  std::istringstream stat(ProcStat(process->Id()));
  std::string field;
  for (int i = 0; i < 6; ++i)
    stat >> field;
  EXPECT_EQ(field, std::to_string(process->Id()));
  dir.Put("go", "");
  EXPECT_TRUE(process->Wait(20000));
}

// The state letter of a process, from /proc/<pid>/stat ('Z' for a zombie); ' ' when gone.
char ProcessState(std::uint32_t pid) {
  const std::string stat = ProcStat(pid);
  const std::size_t end = stat.rfind(')');
  return end == std::string::npos || end + 2 >= stat.size() ? ' ' : stat[end + 2];
}

TEST(PosixProcess, ADroppedProcessRunsOnAndIsReapedNotLeftAZombie) {
  ScratchDir dir;
  dir.Put("short.sh",
          "while [ ! -e '" + dir / "go" + "' ]; do sleep 0.01; done\n: > '" + dir / "done" + "'\n");
  auto process = os::Process::StartHiddenScript(dir / "short.sh");
  ASSERT_TRUE(process);
  const std::uint32_t pid = process->Id();
  process.reset();
  os::SleepMs(50);
  EXPECT_NE(ProcessState(pid), 'Z');  // let go, not stopped
  EXPECT_NE(ProcessState(pid), ' ');
  dir.Put("go", "");
  const std::uint64_t deadline = os::MonotonicMs() + 20000;
  while (ostest::ProcessExists(pid) && os::MonotonicMs() < deadline)
    os::SleepMs(10);
  EXPECT_FALSE(ostest::ProcessExists(pid)) << ProcStat(pid);
  EXPECT_TRUE(os::FileExists(dir / "done"));
}

}  // namespace
