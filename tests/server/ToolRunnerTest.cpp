// The tool runner with real scripts, real processes and real progress windows: numbering,
// clean-up on every path, waiting, and the operator's cancel.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "os/Environment.h"
#include "os/Files.h"
#include "os/Process.h"
#include "os/Time.h"
#include "progress/ProgressViewer.h"
#include "server/FixedPaths.h"
#include "server/ToolCommands.h"
#include "server/ToolRunner.h"
#include "server/ToolScript.h"
#include "tests/server/KoraSandbox.h"
#include "tests/server/RunnerTestEnvironment.h"
#include "tests/server/ServerTestTools.h"

namespace {

const char* const kCaption = "Выполняется проверка базы данных...";

std::string Quote(const std::string& path) {
  return "\"" + path + "\"";
}

// A command that starts the echo tool with `args` and sends both its streams to `log`.
std::string EchoCommand(const std::string& args, const std::string& log) {
  return Quote(EchoToolPath()) + " " + args + " > " + Quote(log) + " 2>&1";
}

// A command line that leaves a copy of the running script and its own path in `folder`.
std::string SelfCopyCommand(const std::string& folder) {
  if (OnWindows())
    return "copy /b \"%~f0\" \"" + folder + "copy.bat\" > nul\r\necho %~f0> \"" + folder +
           "name.txt\"";
  return "cp \"$0\" '" + folder + "copy.bat'\necho \"$0\" > '" + folder + "name.txt'";
}

bool WaitForFile(const std::string& path, unsigned timeoutMs) {
  const std::uint64_t end = os::MonotonicMs() + timeoutMs;
  while (!os::FileExists(path)) {
    if (os::MonotonicMs() > end)
      return false;
    os::SleepMs(20);
  }
  return true;
}

class ToolRunner : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetEchoToolSettings();
    scratch = sandbox.Root() + os::PathDelimiter() + "scratch" + os::PathDelimiter();
    ASSERT_TRUE(os::ForceDirectories(scratch));
  }
  KoraSandbox sandbox;
  std::string scratch;
};

TEST_F(ToolRunner, WritesTheNextNumberedScriptRunsItAndRemovesIt) {
  const int before = ToolBatchCount();
  // A comment line in Cyrillic shows the script's code page.
  const std::string command =
      SelfCopyCommand(scratch) + (OnWindows() ? "\nrem Проверка базы" : "\n# Проверка базы");
  RunToolBatch(command, kCaption);
  EXPECT_EQ(ToolBatchCount(), before + 1);
  const std::string expectedName = "DBRepairBat" + std::to_string(os::CurrentProcessId()) + "-" +
                                   std::to_string(before + 1) + ".bat";
  const std::vector<std::string> name = FileLines(scratch + "name.txt");
  ASSERT_EQ(name.size(), 1u);
  EXPECT_EQ(os::ExtractFileName(name[0]), expectedName);
  const std::string copy = os::ReadWholeFile(scratch + "copy.bat");
  EXPECT_EQ(copy, ToolScriptContent(command));
  // "Проверка базы" in the console's code page 866 on Windows, in UTF-8 on Linux.
  EXPECT_NE(copy.find(OnWindows() ? "\x8F\xE0\xAE\xA2\xA5\xE0\xAA\xA0 \xA1\xA0\xA7\xEB\r\n"
                                  : "Проверка базы\n"),
            std::string::npos);
  EXPECT_TRUE(BatchFilesInWorkDirectory().empty());
  EXPECT_EQ(ToolBatchFile(before + 1), paths::WorkDirectory() + expectedName);
}

TEST_F(ToolRunner, WaitsForTheToolAndPassesItsArgumentsUnchanged) {
  os::SetEnv("VELMAR_ECHO_SLEEP_MS", "400");
  const std::string log = scratch + "tool.log";
  const std::uint64_t start = os::MonotonicMs();
  const ToolLogin login{31050, "p%w&x"};
  EXPECT_EQ(RunToolBatch(ValidationCommand(EchoToolPath(), login, scratch + "Ба за.fdb", log),
                         kCaption, LoginEnvironment(login)),
            0);
  EXPECT_GE(os::MonotonicMs() - start, 400u);
  EXPECT_EQ(FileLines(log),
            (std::vector<std::string>{"-v", "-full", "127.0.0.1/31050:" + scratch + "Ба за.fdb",
                                      "ISC_USER=SYSDBA", "ISC_PASSWORD=p%w&x", "echo tool: done"}));
}

TEST_F(ToolRunner, ReturnsNormallyForASilentToolThatFails) {
  os::SetEnv("VELMAR_ECHO_QUIET", "1");
  os::SetEnv("VELMAR_ECHO_EXIT", "3");
  os::SetEnv("VELMAR_ECHO_MARKER", scratch + "ended");
  EXPECT_EQ(RunToolBatch(EchoCommand("-v", scratch + "tool.log"), kCaption), 3);
  EXPECT_TRUE(os::FileExists(scratch + "ended"));
  EXPECT_EQ(os::ReadWholeFile(scratch + "tool.log"), "");
  EXPECT_TRUE(BatchFilesInWorkDirectory().empty());
}

TEST_F(ToolRunner, AToolEndingWithinTheFirstWaitIsNotAskedAboutCancel) {
  // The operator has cancelled before the tool ends, but the runner learns of it only
  // between waits: a tool done within the first 100 ms returns normally.
  ScriptedCancel cancel(0);
  const std::string command = OnWindows() ? "rem nothing to do" : "sleep 0.05";
  const std::uint64_t start = os::MonotonicMs();
  try {
    RunToolBatch(command, kCaption);
  } catch (const EProgressCancelByUser&) {
    const std::uint64_t took = os::MonotonicMs() - start;
    if (took >= 100)
      GTEST_SKIP() << "the script took " << took << " ms to end";
    FAIL() << "cancel checked although the script ended after " << took << " ms";
  }
  EXPECT_TRUE(cancel.Happened()) << "the viewer never ran its cycle while the script ran";
  EXPECT_TRUE(BatchFilesInWorkDirectory().empty());
}

TEST_F(ToolRunner, ACancelEndsTheWaitButNotTheTool) {
  os::SetEnv("VELMAR_ECHO_SLEEP_MS", "2500");
  os::SetEnv("VELMAR_ECHO_STARTED", scratch + "started");
  os::SetEnv("VELMAR_ECHO_MARKER", scratch + "ended");
  const int before = ToolBatchCount();
  const std::string log = scratch + "tool.log";
  {
    // The operator presses Esc once the tool is under way.
    ScriptedCancel cancel([this] { return os::FileExists(scratch + "started"); });
    try {
      RunToolBatch(EchoCommand("-v", log), kCaption);
      FAIL() << "the cancel was not raised";
    } catch (const EProgressCancelByUser& e) {
      const std::uint64_t latency = os::MonotonicMs() - cancel.CancelledAtMs();
      EXPECT_EQ(e.Message(), "Прервано пользователем!");
      EXPECT_LE(latency, 200u) << "the runner took " << latency << " ms to notice the cancel";
    }
  }
  EXPECT_EQ(ToolBatchCount(), before + 1);
  EXPECT_FALSE(os::FileExists(scratch + "ended"));
  EXPECT_TRUE(ToolsStillRunning()) << "the work lock would be let go under a running tool";
  EXPECT_TRUE(OnWindows() || !os::FileExists(ToolBatchFile(before + 1)));

  // The next run takes the next number and does not wait for the tool left running.
  for (const char* name : {"VELMAR_ECHO_SLEEP_MS", "VELMAR_ECHO_STARTED", "VELMAR_ECHO_MARKER"})
    os::SetEnv(name, "");
  RunToolBatch(SelfCopyCommand(scratch), kCaption);
  EXPECT_EQ(ToolBatchCount(), before + 2);
  const std::vector<std::string> name = FileLines(scratch + "name.txt");
  ASSERT_EQ(name.size(), 1u);
  EXPECT_EQ(os::ExtractFileName(name[0]), os::ExtractFileName(ToolBatchFile(before + 2)));
  EXPECT_FALSE(os::FileExists(scratch + "ended")) << "the second run waited for the first tool";

  // The cancelled tool runs on to its own end.
  EXPECT_TRUE(WaitForFile(scratch + "ended", 10000));
  EXPECT_TRUE(ScriptGone(ToolBatchFile(before + 1), 5000));
  for (const std::uint64_t until = os::MonotonicMs() + 5000;
       ToolsStillRunning() && os::MonotonicMs() < until;)
    os::SleepMs(20);
  EXPECT_FALSE(ToolsStillRunning());
  EXPECT_EQ(FileLines(log), (std::vector<std::string>{"-v", "echo tool: done"}));
}

TEST_F(ToolRunner, AWorkDirectoryThatCannotBeMadeStopsBeforeNumbering) {
  const int before = ToolBatchCount();
  // A file where the work directory's parent should be.
  const std::string temp = os::ExtractFileDir(os::ExtractFileDir(paths::WorkDirectory()));
  WriteFileBytes(temp, "not a folder");
  try {
    RunToolBatch("echo x", kCaption);
    FAIL() << "the run went on without its work directory";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Не удалось создать временный каталог: " + paths::WorkDirectory());
    EXPECT_STREQ(e.ClassName(), "Exception");
  }
  EXPECT_EQ(ToolBatchCount(), before);
  os::RemoveFile(temp);
}

TEST_F(ToolRunner, AScriptThatCannotBeWrittenStillTakesItsNumber) {
  ASSERT_TRUE(WaitForViewerThreads(5000));
  const int before = ToolBatchCount();
  ASSERT_TRUE(os::ForceDirectories(ToolBatchFile(before + 1)));  // a folder in its place
  EXPECT_THROW(RunToolBatch("echo x", kCaption), EFileError);
  EXPECT_EQ(ToolBatchCount(), before + 1);
  EXPECT_EQ(LiveViewerThreads(), 0) << "a viewer was shown for a script never written";
  RunToolBatch(SelfCopyCommand(scratch), kCaption);
  const std::vector<std::string> name = FileLines(scratch + "name.txt");
  ASSERT_EQ(name.size(), 1u);
  EXPECT_EQ(os::ExtractFileName(name[0]), os::ExtractFileName(ToolBatchFile(before + 2)));
}

// A script of the next name, left by an earlier process of the same id whose tool may still be
// reading it, keeps its content: the run takes the number after it.
TEST_F(ToolRunner, AScriptLeftUnderTheNextNameIsPassedOver) {
  ASSERT_TRUE(os::ForceDirectories(paths::WorkDirectory()));
  const int before = ToolBatchCount();
  const std::string left = ToolBatchFile(before + 1);
  WriteFileBytes(left, "rem read by a tool still running\r\n");
  RunToolBatch(SelfCopyCommand(scratch), kCaption);
  EXPECT_EQ(ToolBatchCount(), before + 2);
  const std::vector<std::string> name = FileLines(scratch + "name.txt");
  ASSERT_EQ(name.size(), 1u);
  EXPECT_EQ(os::ExtractFileName(name[0]), os::ExtractFileName(ToolBatchFile(before + 2)));
  EXPECT_EQ(os::ReadWholeFile(left), "rem read by a tool still running\r\n");
  os::RemoveFile(left);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  UseProgressViewerUnit();
  return RUN_ALL_TESTS();
}
