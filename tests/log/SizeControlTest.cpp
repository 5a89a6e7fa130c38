// Cutting an oversized log to its newest part.
#include <gtest/gtest.h>

#include "log/HuxLogger.h"
#include "os/CodePage.h"
#include "os/Files.h"
#include "tests/log/LogTestSupport.h"

namespace {

using logtest::ReadBytes;
using logtest::WriteBytes;

constexpr std::int64_t kMaxSize = 3000;
constexpr std::int64_t kThreshold = kMaxSize + kMaxSize / 3;  // 4000
const std::string kText = "новая запись";  // its byte count on disk depends on the code page

// The bytes one record of kText adds to the file.
std::int64_t RecordBytes(THuxLogger& log) {
  std::string text = kText;
  return static_cast<std::int64_t>(os::Utf8ToAnsi(log.BuildLine(text, llPlain)).size()) + 2;
}

// Lines "L0001 xxxx\r\n" of 50 bytes each, cut to `total` bytes.
std::string Lines(std::int64_t total) {
  std::string out;
  for (int n = 1; static_cast<std::int64_t>(out.size()) < total; ++n)
    out.append("L")
        .append(std::to_string(10000 + n).substr(1))
        .append(" ")
        .append(42, 'x')
        .append("\r\n");
  return out.substr(0, total);
}

// Where a cut at `cutPoint` must begin: after the last CR or LF before it (a CR LF pair
// counts as one break), or the cut point itself.
std::int64_t LineStartBefore(const std::string& bytes, std::int64_t cutPoint) {
  const size_t at = bytes.find_last_of("\r\n", cutPoint - 1);
  if (at == std::string::npos)
    return cutPoint;
  if (bytes[at] == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n')
    return at + 2;
  return static_cast<std::int64_t>(at) + 1;
}

class SizeControl : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = std::make_unique<THuxLogger>(path_);
    log_->SetMaxSize(kMaxSize);
    // The record's size is fixed by the stamp format and the text, not the clock.
    record_ = RecordBytes(*log_);
  }
  // Writes `prefill` as the log, then one record; returns the log's bytes.
  std::string WriteAfter(const std::string& prefill) {
    WriteBytes(path_, prefill);
    log_->Write(kText);
    return ReadBytes(path_);
  }

  logtest::ScratchDir dir_;
  std::string path_ = dir_ / "size.log";
  std::unique_ptr<THuxLogger> log_;
  std::int64_t record_ = 0;
};

TEST_F(SizeControl, AtTheThresholdNothingIsCut) {
  const std::string prefill = Lines(kThreshold - record_);
  const std::string after = WriteAfter(prefill);
  EXPECT_EQ(static_cast<std::int64_t>(after.size()), kThreshold);
  EXPECT_EQ(after.substr(0, prefill.size()), prefill);
}

TEST_F(SizeControl, OneByteOverCutsToTheStartOfTheCutLine) {
  const std::string prefill = Lines(kThreshold - record_ + 1);
  const std::string after = WriteAfter(prefill);
  const std::int64_t size = kThreshold + 1;
  ASSERT_GT(static_cast<std::int64_t>(after.size()), kMaxSize);
  ASSERT_LT(static_cast<std::int64_t>(after.size()), size);
  // The kept part is the original's tail from the line start found before the cut point.
  const std::string original = prefill + after.substr(after.size() - record_);
  ASSERT_EQ(static_cast<std::int64_t>(original.size()), size);
  const std::int64_t start = LineStartBefore(original, size - kMaxSize);
  EXPECT_LT(start, size - kMaxSize);
  EXPECT_EQ(after, original.substr(start));
  EXPECT_EQ(after.substr(0, 1), "L");  // a whole line first
  EXPECT_EQ(logtest::FileNamesIn(dir_.Path()), std::vector<std::string>{"size.log"});
}

TEST_F(SizeControl, WithoutALineBreakTheCutIsExact) {
  const std::string prefill(kThreshold - record_ + 100, 'z');
  const std::string after = WriteAfter(prefill);
  EXPECT_EQ(static_cast<std::int64_t>(after.size()), kMaxSize);
  EXPECT_EQ(after.substr(0, kMaxSize - record_), std::string(kMaxSize - record_, 'z'));
}

TEST_F(SizeControl, LongLineAcrossTheCutPointIsKeptWhole) {
  // Short lines, then one 900-byte line that holds the cut point, then short lines.
  const std::int64_t size = kThreshold + 10;
  const std::int64_t cutPoint = size - kMaxSize;  // 1010
  const std::string head = Lines(400);
  const std::string longLine = std::string(898, 'y') + "\r\n";
  std::string prefill = head + longLine;
  prefill += Lines(size - record_ - static_cast<std::int64_t>(prefill.size()));
  ASSERT_LT(static_cast<std::int64_t>(head.size()), cutPoint - 255);
  ASSERT_GT(static_cast<std::int64_t>(head.size() + longLine.size()), cutPoint);
  const std::string after = WriteAfter(prefill);
  EXPECT_EQ(after.substr(0, longLine.size()), longLine);
  EXPECT_EQ(static_cast<std::int64_t>(after.size()), size - static_cast<std::int64_t>(head.size()));
}

TEST_F(SizeControl, SearchGivesUpWhenLessThanABlockPrecedes) {
  // The only line break lies in the first 255 bytes: the search stops before it.
  const std::int64_t size = kThreshold + 10;
  std::string prefill = "L1\r\n" + std::string(size - record_ - 4, 'y');
  const std::string after = WriteAfter(prefill);
  EXPECT_EQ(static_cast<std::int64_t>(after.size()), kMaxSize);
}

TEST_F(SizeControl, CutBetweenCrAndLfStartsAfterThePair) {
  // Put the cut point exactly on the LF of a CR LF pair.
  const std::int64_t size = kThreshold + 5;
  const std::int64_t cutPoint = size - kMaxSize;
  // Bytes [0, cutPoint-1) are 'a', then CR at cutPoint-1 and LF at cutPoint.
  std::string prefill = std::string(cutPoint - 1, 'a') + "\r\n";
  prefill += Lines(size - record_ - static_cast<std::int64_t>(prefill.size()));
  const std::string after = WriteAfter(prefill);
  EXPECT_EQ(after.substr(0, 1), "L");
  EXPECT_EQ(static_cast<std::int64_t>(after.size()), size - cutPoint - 1);
}

TEST_F(SizeControl, ZeroMaxSizeSwitchesTheControlOff) {
  log_->SetMaxSize(0);
  const std::string prefill = Lines(20000);
  const std::string after = WriteAfter(prefill);
  EXPECT_EQ(static_cast<std::int64_t>(after.size()), 20000 + record_);
}

TEST_F(SizeControl, RepeatedRecordsStayBelowTheThresholdAndWhole) {
  for (int i = 0; i < 400; ++i)
    log_->Write("запись номер " + std::to_string(i));
  const std::string bytes = ReadBytes(path_);
  EXPECT_LE(static_cast<std::int64_t>(bytes.size()), kThreshold);
  std::string rest;
  const auto lines = logtest::SplitRecords(bytes, &rest);
  EXPECT_EQ(rest, "");
  for (const auto& line : lines)
    EXPECT_TRUE(logtest::HasStamp(line)) << line;
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find(" 399"), std::string::npos);
}

}  // namespace
