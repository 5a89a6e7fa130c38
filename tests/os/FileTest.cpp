#include <gtest/gtest.h>

#include "os/Exception.h"
#include "os/File.h"
#include "os/SystemError.h"
#include "tests/os/ScratchDir.h"

namespace {

using os::File;
using ostest::ScratchDir;

TEST(File, CreateExclusiveTruncatesAndWrites) {
  ScratchDir dir;
  dir.Put("log.txt", "old content that must disappear");
  auto file = File::Open(dir / "log.txt", File::Mode::CreateExclusive);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Size(), 0);
  const std::string text = "Программа запущена\r\n";
  file->Write(text.data(), text.size());
  EXPECT_EQ(file->Size(), static_cast<std::int64_t>(text.size()));
  file->Close();
  file->Close();  // closing twice is harmless
  EXPECT_EQ(dir.Get("log.txt"), text);

  auto fresh = File::Open(dir / "new.txt", File::Mode::CreateExclusive);
  ASSERT_TRUE(fresh);
  fresh->Close();
  EXPECT_TRUE(os::FileExists(dir / "new.txt"));
}

TEST(File, SharedReadWriteSeeksReadsAndResizes) {
  ScratchDir dir;
  dir.Put("data.bin", "0123456789");
  auto file = File::Open(dir / "data.bin", File::Mode::OpenReadWriteShared);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Size(), 10);
  file->Seek(4);
  char buffer[16] = {};
  EXPECT_EQ(file->Read(buffer, 3), 3u);
  EXPECT_EQ(std::string(buffer, 3), "456");
  file->Seek(10);  // append at the end, as the log does
  file->Write("AB", 2);
  file->SetSize(6);
  EXPECT_EQ(file->Size(), 6);
  file->Seek(0);
  EXPECT_EQ(file->Read(buffer, sizeof buffer), 6u);
  EXPECT_EQ(file->Read(buffer, sizeof buffer), 0u);  // at the end
  file->SetSize(8);                                  // extending fills with zeros
  file->Close();
  EXPECT_EQ(dir.Get("data.bin"), std::string("012345\0\0", 8));
}

TEST(File, OpeningAMissingFileFailsWithTheSystemCode) {
  ScratchDir dir;
  os::SetLastErrorCode(0);
  EXPECT_EQ(File::Open(dir / "missing.txt", File::Mode::OpenReadWriteShared), nullptr);
  EXPECT_NE(os::LastErrorCode(), 0);
  EXPECT_EQ(File::Open(dir / "missing.txt", File::Mode::OpenReadShared), nullptr);
  EXPECT_FALSE(os::FileExists(dir / "missing.txt"));
  EXPECT_EQ(File::Open(dir / "no-dir/x.txt", File::Mode::CreateExclusive), nullptr);
}

TEST(File, ReadOnlyFileRefusesWritesWithAFileError) {
  ScratchDir dir;
  dir.Put("ro.txt", "abc");
  auto file = File::Open(dir / "ro.txt", File::Mode::OpenReadShared);
  ASSERT_TRUE(file);
  try {
    file->Write("x", 1);
    FAIL() << "writing a read-only file must throw";
  } catch (const EFileError& e) {
    EXPECT_NE(e.Code(), 0);
    EXPECT_NE(e.Message().find("ro.txt"), std::string::npos) << e.Message();
  }
  file->Close();
  EXPECT_THROW(file->Size(), EFileError);
  EXPECT_EQ(dir.Get("ro.txt"), "abc");
}

}  // namespace
