#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <thread>

#include "os/CodePage.h"
#include "os/File.h"
#include "os/Files.h"
#include "os/SystemError.h"
#include "os/win/Wide.h"
#include "tests/os/ScratchDir.h"

namespace {

using ostest::ScratchDir;

TEST(WindowsFiles, SameFileIgnoresLetterCaseAndSlashes) {
  ScratchDir dir;
  dir.Put("VELMAR.FDB", "x");
  EXPECT_TRUE(os::SameFile(dir / "VELMAR.FDB", os::LowerCase(dir / "VELMAR.FDB")));
  std::string slashed = dir / "VELMAR.FDB";
  for (char& c : slashed)
    if (c == '\\')
      c = '/';
  EXPECT_TRUE(os::SameFile(dir / "VELMAR.FDB", slashed));
}

// A scanner holding a fresh file for a moment makes neither its renaming, nor the removal or
// the new creation of the program's own file fail.
TEST(WindowsFiles, ARenameARemovalAndACreationWaitOutAShortSharingViolation) {
  const std::function<bool(const std::string&)> acts[] = {
      [](const std::string& f) { return os::RenameFile(f, f + ".renamed") && !os::FileExists(f); },
      [](const std::string& f) { return os::RemoveOwnFile(f) && !os::FileExists(f); },
      [](const std::string& f) { return os::File::CreateOwn(f) && os::FileSize(f) == 0; },
  };
  for (const auto& act : acts) {
    ScratchDir dir;
    dir.Put("scratch.bat", "x");
    HANDLE held = CreateFileW(os::win::ToWide(dir / "scratch.bat").c_str(), GENERIC_READ, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(os::RemoveFile(dir / "scratch.bat"));  // refused at once: the file is held
    const auto start = std::chrono::steady_clock::now();
    std::thread scanner([held] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      CloseHandle(held);
    });
    EXPECT_TRUE(act(dir / "scratch.bat")) << os::LastErrorText();
    // It went only once the handle was closed: the first attempts were refused.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    scanner.join();
  }
}

TEST(WindowsFiles, TheCopyOfAReadOnlyFileIsNotReadOnly) {
  ScratchDir dir;
  dir.Put("db.fdb", "data");
  const std::wstring source = os::win::ToWide(dir / "db.fdb");
  ASSERT_TRUE(SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(os::CopyFileNoReplace(dir / "db.fdb", dir / "copy.tmp"));
  EXPECT_FALSE(GetFileAttributesW(os::win::ToWide(dir / "copy.tmp").c_str()) &
               FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(os::RemoveFile(dir / "copy.tmp"));
  SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsFiles, ShareModesRefuseASecondOpener) {
  ScratchDir dir;
  auto exclusive = os::File::Open(dir / "log.txt", os::File::Mode::CreateExclusive);
  ASSERT_TRUE(exclusive);
  EXPECT_EQ(os::File::Open(dir / "log.txt", os::File::Mode::OpenReadWriteShared), nullptr);
  const int code = os::LastErrorCode();
  EXPECT_EQ(code, 32);
  EXPECT_TRUE(os::IsSharingViolation(code));
  exclusive->Close();

  // Two shared openers live side by side, and a shared opener keeps an exclusive one out.
  auto writer = os::File::Open(dir / "log.txt", os::File::Mode::OpenReadWriteShared);
  ASSERT_TRUE(writer);
  auto reader = os::File::Open(dir / "log.txt", os::File::Mode::OpenReadShared);
  EXPECT_TRUE(reader);
  EXPECT_EQ(os::File::Open(dir / "log.txt", os::File::Mode::CreateExclusive), nullptr);
  EXPECT_TRUE(os::IsSharingViolation(os::LastErrorCode()));
  EXPECT_TRUE(os::IsSharingViolation(33));
  EXPECT_FALSE(os::IsSharingViolation(5));
}

TEST(WindowsFiles, CyrillicNamesSurviveTheWideCalls) {
  ScratchDir dir;
  ASSERT_TRUE(os::ForceDirectories(dir / "База данных"));
  auto file = os::File::Open(dir / "База данных\\ВЕЛМАР.FDB", os::File::Mode::CreateExclusive);
  ASSERT_TRUE(file);
  file->Write("abc", 3);
  file->Close();
  EXPECT_EQ(dir.Get("База данных/ВЕЛМАР.FDB"), "abc");
  const auto entries = os::FindEntries(dir / "База данных\\*.FDB");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "ВЕЛМАР.FDB");
  EXPECT_TRUE(os::RenameFile(dir / "База данных\\ВЕЛМАР.FDB", dir / "База данных\\копия.FDB"));
  EXPECT_EQ(os::FileSize(dir / "База данных\\копия.FDB"), 3);
}

TEST(WindowsFiles, TempDirectoryEndsWithADelimiter) {
  const std::string temp = os::TempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(os::DirectoryExists(temp));
}

}  // namespace
