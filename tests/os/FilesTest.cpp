#include <gtest/gtest.h>

#include <algorithm>

#include "os/CodePage.h"
#include "os/Environment.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "os/SystemError.h"
#include "tests/os/ScratchDir.h"

namespace {

using ostest::ScratchDir;

TEST(Files, ExistenceTellsFilesFromDirectories) {
  ScratchDir dir;
  dir.Put("a.txt", "x");
  EXPECT_TRUE(os::FileExists(dir / "a.txt"));
  EXPECT_FALSE(os::DirectoryExists(dir / "a.txt"));
  EXPECT_TRUE(os::DirectoryExists(dir.Path()));
  EXPECT_FALSE(os::FileExists(dir.Path()));
  EXPECT_FALSE(os::FileExists(dir / "missing.txt"));
  EXPECT_FALSE(os::FileExists(""));
}

TEST(Files, ForceDirectoriesCreatesMissingParents) {
  ScratchDir dir;
  const std::string deep = dir / "one/two.2/три";
  EXPECT_TRUE(os::ForceDirectories(deep));
  EXPECT_TRUE(os::DirectoryExists(deep));
  EXPECT_TRUE(os::DirectoryExists(dir / "one/two.2"));
  // Existing directories, with or without a trailing delimiter, are fine.
  EXPECT_TRUE(os::ForceDirectories(deep));
  EXPECT_TRUE(os::ForceDirectories(os::IncludeTrailingDelimiter(deep)));
  // A new directory named with trailing delimiters, and the root of the file system.
  const std::string trailing = dir / "four";
  const std::string d(1, os::PathDelimiter());
  EXPECT_TRUE(os::ForceDirectories(trailing + d + d));
  EXPECT_TRUE(os::DirectoryExists(trailing));
  const std::string root = d == "/" ? d : os::TempDirectory().substr(0, 3);  // "C:\"
  EXPECT_TRUE(os::ForceDirectories(root));
  // A file in the way cannot become a directory.
  dir.Put("blocker", "x");
  EXPECT_FALSE(os::ForceDirectories(dir / "blocker/sub"));
}

TEST(Files, RemoveFileReportsTheSystemError) {
  ScratchDir dir;
  dir.Put("gone.txt", "x");
  EXPECT_TRUE(os::RemoveFile(dir / "gone.txt"));
  EXPECT_FALSE(os::FileExists(dir / "gone.txt"));
  os::SetLastErrorCode(0);
  EXPECT_FALSE(os::RemoveFile(dir / "gone.txt"));
  const int code = os::LastErrorCode();
  EXPECT_NE(code, 0);
  const std::string text = os::SystemErrorText(code);
  EXPECT_FALSE(text.empty());
  EXPECT_NE(text.back(), '.');
  EXPECT_NE(text.back(), '\n');
  EXPECT_EQ(os::LastErrorText(), text);
}

TEST(Files, RenameRefusesAnExistingTarget) {
  ScratchDir dir;
  dir.Put("old.fdb", "database");
  dir.Put("new.fdb", "restored");
  EXPECT_FALSE(os::RenameFile(dir / "new.fdb", dir / "old.fdb"));
  EXPECT_NE(os::LastErrorCode(), 0);
  EXPECT_EQ(dir.Get("old.fdb"), "database");
  EXPECT_EQ(dir.Get("new.fdb"), "restored");

  EXPECT_TRUE(os::RenameFile(dir / "old.fdb", dir / "old.fdb.bak"));
  EXPECT_TRUE(os::RenameFile(dir / "new.fdb", dir / "old.fdb"));
  EXPECT_EQ(dir.Get("old.fdb"), "restored");
  EXPECT_EQ(dir.Get("old.fdb.bak"), "database");
  EXPECT_FALSE(os::FileExists(dir / "new.fdb"));
  EXPECT_FALSE(os::RenameFile(dir / "missing", dir / "other"));
}

TEST(Files, CopyRefusesAnExistingTargetAndCopiesAllBytes) {
  ScratchDir dir;
  std::string content;
  for (int i = 0; i < 200000; ++i)
    content += static_cast<char>(i * 7 % 256);
  dir.Put("db.fdb", content);
  dir.Put("taken.fdb", "keep me");

  EXPECT_FALSE(os::CopyFileNoReplace(dir / "db.fdb", dir / "taken.fdb"));
  EXPECT_EQ(dir.Get("taken.fdb"), "keep me");

  ASSERT_TRUE(os::CopyFileNoReplace(dir / "db.fdb", dir / "copy.fdb"));
  EXPECT_EQ(dir.Get("copy.fdb"), content);
  EXPECT_FALSE(os::CopyFileNoReplace(dir / "missing.fdb", dir / "copy2.fdb"));
  EXPECT_FALSE(os::FileExists(dir / "copy2.fdb"));
}

// A disk that fills up during the copy: this program runs once more under a file size limit
// (see CMakeLists.txt) with a read-only source bigger than the limit. Nothing stays at the
// target, in particular no read-only file the program could not remove.
TEST(Files, ACopyCutShortLeavesNothingBehind) {
  const auto source = os::GetEnv("VELMAR_READONLY_SOURCE");
  if (!source)
    GTEST_SKIP() << "runs only under a file size limit";
  ASSERT_TRUE(os::FileExists(*source)) << *source;
  ScratchDir dir;
  EXPECT_FALSE(os::CopyFileNoReplace(*source, dir / "copy.tmp"));
  EXPECT_FALSE(os::FileExists(dir / "copy.tmp"));
}

std::vector<std::string> Names(const std::vector<os::DirEntry>& entries, bool directories) {
  std::vector<std::string> names;
  for (const auto& entry : entries)
    if (entry.isDirectory == directories && entry.name != "." && entry.name != "..")
      names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Files, FindEntriesMatchesStarAndQuestionMark) {
  ScratchDir dir;
  dir.Put("DBRepairBat1.bat", "");
  dir.Put("DBRepairBat12.bat", "");
  dir.Put("DBRepairBat2.txt", "");
  dir.Put(".hidden.bat", "");
  dir.Put("[x].bat", "");
  ASSERT_TRUE(os::ForceDirectories(dir / "sub.bat"));

  using V = std::vector<std::string>;
  EXPECT_EQ(Names(os::FindEntries(dir / "DBRepairBat*.bat"), false),
            (V{"DBRepairBat1.bat", "DBRepairBat12.bat"}));
  EXPECT_EQ(Names(os::FindEntries(dir / "DBRepairBat?.*"), false),
            (V{"DBRepairBat1.bat", "DBRepairBat2.txt"}));
  // Whatever their attributes: hidden files and directories come too; '[' is no class.
  EXPECT_EQ(Names(os::FindEntries(dir / "*.bat"), false),
            (V{".hidden.bat", "DBRepairBat1.bat", "DBRepairBat12.bat", "[x].bat"}));
  EXPECT_EQ(Names(os::FindEntries(dir / "*.bat"), true), (V{"sub.bat"}));
  EXPECT_EQ(Names(os::FindEntries(dir / "[x].bat"), false), (V{"[x].bat"}));
  EXPECT_TRUE(os::FindEntries(dir / "nothing*").empty());
  EXPECT_TRUE(os::FindEntries(dir / "no-such-dir/*").empty());
}

TEST(Files, SameFileSeesThroughOtherSpellings) {
  ScratchDir dir;
  ASSERT_TRUE(os::ForceDirectories(dir / "db"));
  dir.Put("db/VELMAR.FDB", "x");
  dir.Put("db/OTHER.FDB", "x");
  const std::string direct = dir / "db/VELMAR.FDB";
  EXPECT_TRUE(os::SameFile(direct, direct));
  EXPECT_TRUE(os::SameFile(direct, dir / "db/../db/./VELMAR.FDB"));
  EXPECT_FALSE(os::SameFile(direct, dir / "db/OTHER.FDB"));
  EXPECT_FALSE(os::SameFile(direct, dir / "db/MISSING.FDB"));
  EXPECT_FALSE(os::SameFile(dir / "db/MISSING.FDB", dir / "db/MISSING.FDB"));

  // A path relative to the current directory names the same file.
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(ostest::FsPath(dir.Path()));
  std::string relative = "db/VELMAR.FDB";
  std::replace(relative.begin(), relative.end(), '/', os::PathDelimiter());
  EXPECT_TRUE(os::SameFile(relative, direct));
  std::filesystem::current_path(previous);

  const auto id = os::IdentityOf(direct);
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(*id, *os::IdentityOf(dir / "db/../db/VELMAR.FDB"));
  EXPECT_FALSE(os::IdentityOf(dir / "db/MISSING.FDB").has_value());
}

TEST(Files, SizeAndWholeContent) {
  ScratchDir dir;
  dir.Put("log.txt", std::string("line one\r\nстрока два\r\n\0tail", 30));
  EXPECT_EQ(os::FileSize(dir / "log.txt"), 30);
  EXPECT_EQ(os::ReadWholeFile(dir / "log.txt"), dir.Get("log.txt"));
  dir.Put("empty.txt", "");
  EXPECT_EQ(os::FileSize(dir / "empty.txt"), 0);
  EXPECT_EQ(os::ReadWholeFile(dir / "empty.txt"), "");
  EXPECT_FALSE(os::FileSize(dir / "missing.txt").has_value());
  try {
    os::ReadWholeFile(dir / "missing.txt");
    FAIL() << "reading a missing file must throw";
  } catch (const EFileError& e) {
    EXPECT_NE(e.Code(), 0);
    EXPECT_NE(e.Message().find("missing.txt"), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find(os::SystemErrorText(e.Code())), std::string::npos) << e.Message();
  }
}

TEST(Files, TempDirectoryAndProgramLocation) {
  const std::string temp = os::TempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_TRUE(os::IsPathDelimiter(temp.back()));
  EXPECT_TRUE(os::DirectoryExists(temp));

  const std::string program = os::ProgramPath();
  EXPECT_TRUE(os::FileExists(program)) << program;
  EXPECT_NE(os::LowerCase(os::ExtractFileName(program)).find("os_files_test"), std::string::npos)
      << program;
  EXPECT_EQ(os::ProgramDirectory(), os::ExtractFilePath(program));
}

}  // namespace
