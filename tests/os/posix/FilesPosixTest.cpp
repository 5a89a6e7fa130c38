#include <gtest/gtest.h>
#include <unistd.h>

#include "os/File.h"
#include "os/Files.h"
#include "os/SystemError.h"
#include "tests/os/ScratchDir.h"

namespace {

using ostest::ScratchDir;

TEST(PosixFiles, SameFileFollowsSymbolicLinks) {
  ScratchDir dir;
  dir.Put("VELMAR.FDB", "x");
  ASSERT_EQ(::symlink((dir / "VELMAR.FDB").c_str(), (dir / "link.fdb").c_str()), 0);
  EXPECT_TRUE(os::SameFile(dir / "VELMAR.FDB", dir / "link.fdb"));
  // Another letter case is another file here.
  dir.Put("velmar.fdb", "y");
  EXPECT_FALSE(os::SameFile(dir / "VELMAR.FDB", dir / "velmar.fdb"));
}

TEST(PosixFiles, CopyKeepsTheModeAndRenameRefusesADanglingLinkTarget) {
  ScratchDir dir;
  dir.Put("run.sh", "#!/bin/sh\n");
  ASSERT_EQ(::chmod((dir / "run.sh").c_str(), 0751), 0);
  ASSERT_TRUE(os::CopyFileNoReplace(dir / "run.sh", dir / "copy.sh"));
  struct stat info {};
  ASSERT_EQ(::stat((dir / "copy.sh").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0751u);

  // A symbolic link that points nowhere still occupies the name.
  ASSERT_EQ(::symlink((dir / "nowhere").c_str(), (dir / "dangling").c_str()), 0);
  EXPECT_FALSE(os::RenameFile(dir / "copy.sh", dir / "dangling"));
  EXPECT_FALSE(os::CopyFileNoReplace(dir / "run.sh", dir / "dangling"));
  EXPECT_FALSE(os::FileExists(dir / "nowhere"));
}

// The operator may save the safety copy onto another disk, where the kernel's own copy
// refuses to go: the copy must still be whole, both ways.
TEST(PosixFiles, CopyReachesAnotherFileSystemWhole) {
  ScratchDir dir;
  const std::string other = "/dev/shm/velmar-copy-" + std::to_string(::getpid());
  struct stat here {
  }, there{};
  if (::stat(dir.Path().c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0 ||
      here.st_dev == there.st_dev)
    GTEST_SKIP() << "no second file system at /dev/shm";
  std::string content;
  for (int i = 0; i < 3 * 1024 * 1024 + 17; ++i)
    content += static_cast<char>(i * 131 % 251);
  dir.Put("db.fdb", content);

  ::unlink(other.c_str());
  ASSERT_TRUE(os::CopyFileNoReplace(dir / "db.fdb", other)) << os::LastErrorText();
  const bool back = os::CopyFileNoReplace(other, dir / "back.fdb");
  ::unlink(other.c_str());
  ASSERT_TRUE(back) << os::LastErrorText();
  EXPECT_EQ(dir.Get("back.fdb"), content);
}

TEST(PosixFiles, NoShareModesSoASecondOpenerSucceeds) {
  ScratchDir dir;
  auto first = os::File::Open(dir / "log.txt", os::File::Mode::CreateExclusive);
  ASSERT_TRUE(first);
  auto second = os::File::Open(dir / "log.txt", os::File::Mode::OpenReadWriteShared);
  EXPECT_TRUE(second);
  EXPECT_FALSE(os::IsSharingViolation(EACCES));
  EXPECT_FALSE(os::IsSharingViolation(EBUSY));
}

TEST(PosixFiles, TempDirectoryFollowsTmpdir) {
  ScratchDir dir;
  const char* saved = std::getenv("TMPDIR");
  const std::string previous = saved != nullptr ? saved : "";
  ::setenv("TMPDIR", (dir / "tmp").c_str(), 1);
  EXPECT_EQ(os::TempDirectory(), dir / "tmp/");
  ::unsetenv("TMPDIR");
  EXPECT_EQ(os::TempDirectory(), "/tmp/");
  if (saved != nullptr)
    ::setenv("TMPDIR", previous.c_str(), 1);
}

}  // namespace
