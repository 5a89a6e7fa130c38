// The runner's script file: its bytes, its line ends and (on Linux) who may read it.
#include <gtest/gtest.h>

#include "os/CodePage.h"
#include "os/Environment.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "server/FixedPaths.h"
#include "server/ToolScript.h"
#include "tests/server/KoraSandbox.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

TEST(SplitCommandLines, SplitsAtEveryKindOfLineBreak) {
  EXPECT_EQ(SplitCommandLines("one"), (std::vector<std::string>{"one"}));
  EXPECT_EQ(SplitCommandLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitCommandLines("a\n\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitCommandLines(""), (std::vector<std::string>{""}));
}

#ifdef _WIN32

TEST(ToolScriptContent, IsTheCommandInTheOemCodePageWithCrLfAfterEveryLine) {
  EXPECT_EQ(ToolScriptContent("\"gfix.exe\" -v"), "\"gfix.exe\" -v\r\n");
  EXPECT_EQ(ToolScriptContent("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd\r\n");
  const std::string cyrillic = "\"C:\\База\\Ремонт.fdb\"";
  EXPECT_EQ(ToolScriptContent(cyrillic), os::Utf8ToOem(cyrillic) + "\r\n");
  if (GetOEMCP() == 866) {
    // Б а з а  in code page 866.
    EXPECT_NE(ToolScriptContent(cyrillic).find("\x81\xA0\xA7\xA0"), std::string::npos);
  }
}

#else

TEST(ToolScriptContent, IsAShellScriptWithLfLineEnds) {
  os::SetEnv("LC_ALL", "C.UTF-8");
  EXPECT_EQ(ToolScriptContent("'gfix' -v"), "'gfix' -v\n");
  EXPECT_EQ(ToolScriptContent("a\r\nb\rc"), "a\nb\nc\n");
}

TEST(ToolScriptContent, GivesTheToolAUtf8LocaleWhenTheProgramHasNone) {
  const auto saved = os::GetEnv("LC_ALL");
  os::SetEnv("LC_ALL", "C");
  EXPECT_EQ(ToolScriptContent("'gfix'"), "LC_ALL=C.UTF-8\nexport LC_ALL\n'gfix'\n");
  os::SetEnv("LC_ALL", "ru_RU.utf8");
  EXPECT_EQ(ToolScriptContent("'gfix'"), "'gfix'\n");
  os::SetEnv("LC_ALL", saved.value_or(""));
}

TEST(WriteToolScript, LetsOnlyItsOwnerReadThePassword) {
  KoraSandbox sandbox;
  ASSERT_TRUE(os::ForceDirectories(paths::WorkDirectory()));
  const std::string script = paths::WorkDirectory() + "DBRepairBat1.bat";
  WriteFileBytes(script, "an older, longer file left behind by an earlier run\n");
  ASSERT_EQ(::chmod(script.c_str(), 0644), 0);
  WriteToolScript(script, "'gfix' -pass 'secret'");
  struct stat info {};
  ASSERT_EQ(::stat(script.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(os::ReadWholeFile(script), ToolScriptContent("'gfix' -pass 'secret'"));
}

#endif

// A disk that fills up while the script is written: this program runs a second time under a
// file size limit (see CMakeLists.txt). The half-written script, password and all, must go.
TEST(WriteToolScript, RemovesAScriptItCouldNotWriteWhole) {
  const auto limit = os::GetEnv("VELMAR_FILE_SIZE_LIMIT");
  if (!limit)
    GTEST_SKIP() << "runs only under a file size limit";
  KoraSandbox sandbox;
  ASSERT_TRUE(os::ForceDirectories(paths::WorkDirectory()));
  const std::string script = paths::WorkDirectory() + "DBRepairBat1.bat";
  const std::string command = "'gfix' -pass 'secret' " + std::string(4 * std::stoul(*limit), 'x');
  EXPECT_THROW(WriteToolScript(script, command), EFileError);
  EXPECT_FALSE(os::FileExists(script)) << "the half-written script was left behind";
}

TEST(WriteToolScript, ReportsAFileThatCannotBeWritten) {
  KoraSandbox sandbox;
  const std::string blocked = paths::WorkDirectory() + "DBRepairBat1.bat";
  ASSERT_TRUE(os::ForceDirectories(blocked));  // a folder where the file should go
  EXPECT_THROW(WriteToolScript(blocked, "x"), EFileError);
}

}  // namespace
