// Age control: records older than MaxAge are dropped from the front of the log.
#include <gtest/gtest.h>

#include "log/HuxLogger.h"
#include "os/CodePage.h"
#include "os/Files.h"
#include "tests/log/LogTestSupport.h"

namespace {

using logtest::ReadBytes;
using logtest::WriteBytes;

// One record line stamped `age` days ago, padded to `length` bytes with its CR LF.
std::string RecordAged(double age, const std::string& tag, int n, int length = 80) {
  const TDateTime when = NowDateTime() - age;
  std::string line = FormatDateTime("dd/mm/yyyy hh:nn:ss.zzz", DecodeDateTime(when)) + " " + tag +
                     " " + std::to_string(n) + " ";
  line += std::string(length - 2 - line.size(), '.') + "\r\n";
  return line;
}

std::string Records(double age, const std::string& tag, int count, int firstNumber = 0) {
  std::string out;
  for (int n = 0; n < count; ++n)
    out += RecordAged(age, tag, firstNumber + n);
  return out;
}

class AgeControl : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = std::make_unique<THuxLogger>(path_);
    log_->SetMaxAge(1.0);  // one day
    log_->SetMaxSize(0);   // size control out of the way
  }
  logtest::ScratchDir dir_;
  std::string path_ = dir_ / "age.log";
  std::unique_ptr<THuxLogger> log_;
};

TEST_F(AgeControl, DropsOldRecordsUpToTheFirstYoungOne) {
  const std::string old = Records(3.0, "old", 600);       // 48000 bytes
  const std::string young = Records(0.04, "young", 600);  // about an hour old
  WriteBytes(path_, old + young);
  log_->Write("свежая запись");
  const std::string after = ReadBytes(path_);
  ASSERT_EQ(after.substr(0, young.size()), young);
  const auto lines = logtest::SplitRecords(after.substr(young.size()));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_GT(log_->LastAgeCheck(), NowDateTime() - 1.0 / 86400 * 5);
}

TEST_F(AgeControl, YoungRecordAcrossABlockBoundaryIsKept) {
  // The first young record starts 10 bytes before the 32 KiB boundary: its LF is not
  // examined, the next young record's is. The cut goes back to the line after the last old
  // record read, so the unexamined lines between stay (here one without a stamp).
  std::string old = Records(3.0, "old", 409);  // 32720 bytes
  const std::string unstamped = std::string(38 - 2, '#') + "\r\n";
  WriteBytes(path_, old + unstamped + Records(0.04, "young", 600));
  ASSERT_EQ(old.size() + unstamped.size(), 32758u);
  log_->Write("свежая запись");
  const std::string after = ReadBytes(path_);
  EXPECT_EQ(after.substr(0, unstamped.size()), unstamped);
  // Stamps written a moment ago may differ in the last digits; compare the record texts.
  const auto lines = logtest::SplitRecords(after);
  ASSERT_EQ(lines.size(), 1u + 600u + 1u);
  for (int n = 0; n < 600; ++n)
    EXPECT_EQ(lines[1 + n].substr(23, 8 + std::to_string(n).size()),
              " young " + std::to_string(n) + " ")
        << n;
}

TEST_F(AgeControl, WhenEveryRecordReadIsOldTheUnreadTailStays) {
  const std::string old = Records(3.0, "old", 1200);  // 96000 bytes: two blocks are read
  const std::string young = Records(0.04, "young", 20);
  WriteBytes(path_, old + young);
  log_->Write("свежая запись");
  const std::string after = ReadBytes(path_);
  ASSERT_LT(after.size(), 96000u - 65536u + young.size() + 200u);
  // Whole lines only, the young ones and the new record all there.
  const auto lines = logtest::SplitRecords(after);
  ASSERT_GT(lines.size(), 21u);
  for (const auto& line : lines)
    EXPECT_TRUE(logtest::HasStamp(line)) << line;
  EXPECT_NE(after.find(young), std::string::npos);
  EXPECT_NE(lines.back().find(os::Utf8ToAnsi("свежая запись")), std::string::npos);
  EXPECT_EQ(old.substr(old.size() - (after.size() - young.size() - lines.back().size() - 2)),
            after.substr(0, after.size() - young.size() - lines.back().size() - 2));
}

TEST_F(AgeControl, NothingHappensWhileTheOldestIsYoungerThanFourThirds) {
  const std::string content = Records(1.2, "recent", 1000);
  WriteBytes(path_, content);
  log_->Write("свежая запись");
  EXPECT_EQ(ReadBytes(path_).substr(0, content.size()), content);
  EXPECT_GT(log_->LastAgeCheck(), 0.0);  // it ran all the same
}

TEST_F(AgeControl, RunsAtMostOncePerMinuteAndOnlyOnBigFiles) {
  const std::string content = Records(3.0, "old", 600) + Records(0.04, "young", 600);
  WriteBytes(path_, content);
  log_->SetLastAgeCheck(NowDateTime() - 30.0 / 86400);
  log_->Write("свежая запись");
  EXPECT_EQ(ReadBytes(path_).substr(0, content.size()), content);

  const std::string small = Records(3.0, "old", 200) + Records(0.04, "young", 200);  // 32000
  WriteBytes(path_, small);
  log_->SetLastAgeCheck(0);
  log_->Write("x");  // 32000 + 26 bytes: not above 32768
  EXPECT_EQ(ReadBytes(path_).substr(0, small.size()), small);
  EXPECT_EQ(log_->LastAgeCheck(), 0.0);
}

TEST_F(AgeControl, RotateModeRotatesInsteadOfCutting) {
  log_->SetTrimInPlace(false);
  const std::string content = Records(3.0, "old", 600) + Records(0.04, "young", 600);
  WriteBytes(path_, content);
  log_->Write("свежая запись");
  EXPECT_FALSE(os::FileExists(path_));
  EXPECT_EQ(ReadBytes(path_ + "000").substr(0, content.size()), content);
}

TEST_F(AgeControl, LevelCharactersBeforeTheStampAreRecognised) {
  std::string old;
  for (int n = 0; n < 600; ++n)
    old += "? " + RecordAged(3.0, "old", n, 78);
  std::string young;
  for (int n = 0; n < 600; ++n)
    young += "$ " + RecordAged(0.04, "young", n, 78);
  WriteBytes(path_, old + young);
  log_->Write("свежая запись");
  EXPECT_EQ(ReadBytes(path_).substr(0, young.size()), young);
}

}  // namespace
