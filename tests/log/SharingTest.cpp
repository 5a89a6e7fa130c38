// Another program holds the log open without sharing: short holds are waited out, long ones
// end in the time-out record of the error writer.
#include <gtest/gtest.h>

#include "log/HuxLogger.h"
#include "os/CodePage.h"
#include "os/Files.h"
#include "os/Time.h"
#include "tests/log/LogTestSupport.h"

namespace {

// Starts the holder on `path` for `holdMs` and returns once it holds the file.
std::unique_ptr<logtest::ChildProcess> HoldFile(const logtest::ScratchDir& dir,
                                                const std::string& path, int holdMs) {
  const std::string marker = dir / ("held" + std::to_string(holdMs));
  auto holder = logtest::ChildProcess::Start(logtest::SiblingProgram("log_file_holder"),
                                             {path, std::to_string(holdMs), marker});
  EXPECT_TRUE(logtest::WaitForFile(marker, 10000));
  return holder;
}

std::string ErrorRecordFor(const std::string& logPath) {
  const std::string bytes = os::AnsiToUtf8(logtest::ReadBytes(HuxLoggerErrorWriterFileName()));
  for (const auto& line : logtest::SplitRecords(bytes))
    if (line.find("\"" + logPath + "\"") != std::string::npos)
      return line;
  return "";
}

TEST(HuxLoggerSharing, ShortHoldIsWaitedOut) {
  if (!logtest::PlatformHasShareModes())
    GTEST_SKIP() << "POSIX files have no share modes";
  logtest::ScratchDir dir;
  const std::string path = dir / "held.log";
  THuxLogger log(path);
  log.Write("первая");
  auto holder = HoldFile(dir, path, 150);
  const auto start = os::MonotonicMs();
  log.Write("после ожидания");
  EXPECT_GE(os::MonotonicMs() - start, 100u) << "the write did not wait for the holder";
  EXPECT_EQ(holder->Wait(), 0);
  const auto lines = logtest::SplitRecords(os::AnsiToUtf8(logtest::ReadBytes(path)));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].substr(23), " после ожидания");
  EXPECT_EQ(ErrorRecordFor(path), "");
}

TEST(HuxLoggerSharing, LongHoldEndsInTheTimeOutRecord) {
  if (!logtest::PlatformHasShareModes())
    GTEST_SKIP() << "POSIX files have no share modes";
  logtest::ScratchDir dir;
  const std::string path = dir / "held.log";
  THuxLogger log(path);
  log.Write("первая");
  auto holder = HoldFile(dir, path, 250);
  const auto start = os::MonotonicMs();
  log.Write("Программа запущена");
  EXPECT_GE(os::MonotonicMs() - start, 199u) << "gave up before the time-out";
  EXPECT_EQ(holder->Wait(), 0);
  EXPECT_EQ(logtest::SplitRecords(logtest::ReadBytes(path)).size(), 1u);  // the record is lost
  const std::string record = ErrorRecordFor(path);
  ASSERT_FALSE(record.empty());
  const std::string expected = " Ошибка при попытке записи (fmOpenReadWrite) в лог \"" + path +
                               "\" строки [Программа запущена]: Log file open timeout: 200 ms (";
  EXPECT_EQ(record.substr(23, expected.size()), expected);
  EXPECT_EQ(record.substr(record.size() - 13), ") <Exception>");
}

}  // namespace
