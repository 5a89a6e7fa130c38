// Rotation of an oversized log to numbered files.
#include <gtest/gtest.h>

#include "log/HuxLogger.h"
#include "os/Files.h"
#include "tests/log/LogTestSupport.h"

namespace {

using logtest::ReadBytes;
using logtest::WriteBytes;

class Rotation : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = std::make_unique<THuxLogger>(path_);
    log_->SetTrimInPlace(false);
    log_->SetMaxSize(1000);
  }
  // Fills the log past its threshold so that the next record rotates it.
  void Oversize() { WriteBytes(path_, std::string(1400, 'o') + "\r\n"); }

  logtest::ScratchDir dir_;
  std::string path_ = dir_ / "Rot.log";
  std::unique_ptr<THuxLogger> log_;
};

TEST_F(Rotation, WithoutNumberedFilesTheLogBecomesZero) {
  Oversize();
  log_->Write("последняя запись");
  EXPECT_FALSE(os::FileExists(path_));
  const std::string rotated = ReadBytes(path_ + "000");
  EXPECT_EQ(rotated.substr(0, 1402), std::string(1400, 'o') + "\r\n");
  EXPECT_EQ(logtest::SplitRecords(rotated).size(), 2u);
  log_->Write("новый файл");
  EXPECT_EQ(logtest::SplitRecords(ReadBytes(path_)).size(), 1u);
}

TEST_F(Rotation, ElevenNumberedFilesMoveUpAndTheOldestGoes) {
  for (int n = 0; n <= 10; ++n)
    WriteBytes(path_ + Format("%.3d", {std::int64_t{n}}), "файл " + std::to_string(n));
  WriteBytes(path_ + "_1234_5678", "временный");
  WriteBytes(path_ + "abc", "буквы");
  WriteBytes(path_ + "-1", "минус");
  Oversize();
  log_->Write("последняя запись");

  EXPECT_FALSE(os::FileExists(path_));
  EXPECT_EQ(ReadBytes(path_ + "000").substr(0, 1400), std::string(1400, 'o'));
  for (int n = 1; n <= 10; ++n)
    EXPECT_EQ(ReadBytes(path_ + Format("%.3d", {std::int64_t{n}})),
              "файл " + std::to_string(n - 1));
  EXPECT_FALSE(os::FileExists(path_ + "011"));
  // Not taken as rotated files: left as they were.
  EXPECT_EQ(ReadBytes(path_ + "_1234_5678"), "временный");
  EXPECT_EQ(ReadBytes(path_ + "abc"), "буквы");
  EXPECT_EQ(ReadBytes(path_ + "-1"), "минус");
  EXPECT_EQ(logtest::FileNamesIn(dir_.Path()).size(), 14u);
}

TEST_F(Rotation, NumbersPastThreeDigitsAndGapsKeepTheirOrder) {
  log_->SetKeepFiles(0);  // no limit
  WriteBytes(path_ + "000", "a");
  WriteBytes(path_ + "005", "b");
  WriteBytes(path_ + "999", "c");
  WriteBytes(path_, "log");
  log_->RotateFiles();
  EXPECT_EQ(ReadBytes(path_ + "000"), "log");
  EXPECT_EQ(ReadBytes(path_ + "001"), "a");
  EXPECT_EQ(ReadBytes(path_ + "006"), "b");
  EXPECT_EQ(ReadBytes(path_ + "1000"), "c");
  EXPECT_FALSE(os::FileExists(path_ + "999"));
}

TEST_F(Rotation, KeepFilesDropsTheHighestNumbers) {
  log_->SetKeepFiles(2);
  for (int n : {0, 1, 2, 7})
    WriteBytes(path_ + Format("%.3d", {std::int64_t{n}}), std::to_string(n));
  WriteBytes(path_, "log");
  log_->RotateFiles();
  EXPECT_EQ(logtest::FileNamesIn(dir_.Path()),
            (std::vector<std::string>{"Rot.log000", "Rot.log001", "Rot.log002"}));
  EXPECT_EQ(ReadBytes(path_ + "002"), "1");
}

}  // namespace
