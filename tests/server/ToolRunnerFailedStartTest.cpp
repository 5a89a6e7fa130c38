// A script that cannot be started: this test program makes /bin/sh unusable for itself alone
// (a private mount namespace with an empty file bound over the shell), so the start fails
// for real. It needs the rights to do so and skips without them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include "os/Files.h"
#include "progress/ProgressViewer.h"
#include "server/FixedPaths.h"
#include "server/ToolRunner.h"
#include "tests/server/KoraSandbox.h"
#include "tests/server/RunnerTestEnvironment.h"
#include "tests/server/ServerTestTools.h"

namespace {

// Binds an empty, non-executable file over the shell for this process only.
class BrokenShell {
 public:
  BrokenShell() {
    if (::unshare(CLONE_NEWNS) != 0)
      return;
    // Keep every mount change inside this namespace.
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      return;
    empty_ = os::TempDirectory() + "velmar-no-shell-" + std::to_string(::getpid());
    const int fd = ::open(empty_.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0)
      return;
    ::close(fd);
    active_ = ::mount(empty_.c_str(), "/bin/sh", nullptr, MS_BIND, nullptr) == 0;
  }
  ~BrokenShell() {
    Repair();
    ::unlink(empty_.c_str());
  }
  bool Active() const { return active_; }
  void Repair() {
    if (active_)
      ::umount2("/bin/sh", 0);
    active_ = false;
  }

 private:
  std::string empty_;
  bool active_ = false;
};

TEST(ToolRunnerStart, AFailedStartIsReportedCleanedUpAndNumbered) {
  KoraSandbox sandbox;
  BrokenShell shell;
  if (!shell.Active())
    GTEST_SKIP() << "no private mount namespace for this test";
  const int before = ToolBatchCount();
  try {
    RunToolBatch("echo never", "Маркировка поврежденных страниц...");
    FAIL() << "the script started without a shell";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.ClassName(), "Exception");
    const std::string prefix = "Ошибка при создании процесса: ";
    EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix) << e.Message();
    EXPECT_GT(e.Message().size(), prefix.size()) << "no system text in the message";
  }
  EXPECT_EQ(ToolBatchCount(), before + 1);
  EXPECT_TRUE(BatchFilesInWorkDirectory().empty());
  EXPECT_TRUE(WaitForViewerThreads(5000)) << "the viewer was not terminated";

  shell.Repair();
  const std::string marker = sandbox.Root() + "/second-run";
  RunToolBatch("echo \"$0\" > '" + marker + "'", "Маркировка поврежденных страниц...");
  const std::vector<std::string> name = FileLines(marker);
  ASSERT_EQ(name.size(), 1u);
  EXPECT_EQ(os::ExtractFileName(name[0]), os::ExtractFileName(ToolBatchFile(before + 2)));
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  UseProgressViewerUnit();
  return RUN_ALL_TESTS();
}
