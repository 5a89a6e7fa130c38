#include <gtest/gtest.h>

#include "os/Files.h"
#include "os/Process.h"
#include "tests/os/OsTestPlatform.h"
#include "tests/os/ScratchDir.h"

namespace {

using ostest::ScratchDir;

// Runs the helper from a batch file in `folder` (inside a scratch directory) and expects the
// helper's marker once the batch file has ended.
void RunBatchIn(const std::string& folder) {
  ScratchDir dir;
  ASSERT_TRUE(os::ForceDirectories(dir / folder));
  const std::string script = dir / (folder + "/run.bat");
  ostest::WriteProgramScript(script, ostest::HelperProgram(),
                             {"wait-then-touch", script, dir / (folder + "/done.txt")});
  auto process = os::Process::StartHiddenScript(script);
  ASSERT_TRUE(process);
  EXPECT_TRUE(process->Wait(30000));
  EXPECT_TRUE(os::FileExists(dir / (folder + "/done.txt")));
}

TEST(WindowsProcess, BatchFileInAFolderWithSpaces) {
  RunBatchIn("folder with spaces");
}

TEST(WindowsProcess, BatchFileInACyrillicFolder) {
  RunBatchIn("Папка");
}

}  // namespace
