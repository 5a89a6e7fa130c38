// Mutex names per log file, and the error writer that receives failed records.
#include <gtest/gtest.h>

#include "log/HuxLogger.h"
#include "os/CodePage.h"
#include "os/Files.h"
#include "tests/log/LogTestSupport.h"

namespace {

TEST(HuxLoggerMutexName, LowersAndReplacesTheNineCharacters) {
  EXPECT_EQ(THuxLogger::MutexNameOf("C:\\KORA\\LogFiles\\VelmarDBRepair.log"),
            "c__kora_logfiles_velmardbrepair.log");
  // Each backslash of a doubled pair becomes its own underscore.
  EXPECT_EQ(THuxLogger::MutexNameOf("\\\\SERVER\\Share\\\\a.LOG"), "__server_share__a.log");
  EXPECT_EQ(THuxLogger::MutexNameOf("C:\\ЖУРНАЛЫ\\Касса.log"), "c__журналы_касса.log");
  EXPECT_EQ(THuxLogger::MutexNameOf("a\"b*c/d:e<f>g?h\\i|j"), "a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(THuxLogger::MutexNameOf("x y.z-1+(2)[3]'ё'"), "x y.z-1+(2)[3]'ё'");
  EXPECT_EQ(THuxLogger::MutexNameOf("/var/log/Velmar.log"), "_var_log_velmar.log");
}

TEST(HuxLoggerMutexName, LogMutexOpensUnderEitherNamespace) {
  auto first = THuxLogger::CreateLogMutex("velmar_log_test_mutex");
  auto second = THuxLogger::CreateLogMutex("velmar_log_test_mutex");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  first->Lock();
  first->Unlock();
}

TEST(HuxLoggerMutexName, WithoutAnyMutexRecordsAreStillWritten) {
  logtest::ScratchDir dir;
  const std::string path = dir / "без мьютекса.log";
  auto occupied = logtest::OccupyMutexName(THuxLogger::MutexNameOf(path));
  if (!occupied)
    GTEST_SKIP() << "mutex names cannot be taken by other objects here";
  THuxLogger log(path);
  EXPECT_FALSE(log.HasMutex());
  log.Write("первая");
  log.SetFileName(path);  // tries again, and fails again
  EXPECT_FALSE(log.HasMutex());
  log.Write("вторая");
  EXPECT_EQ(logtest::SplitRecords(logtest::ReadBytes(path)).size(), 2u);
  occupied.reset();
  log.SetFileName(path);
  EXPECT_TRUE(log.HasMutex());
}

// Finds the error writer's line that names `logPath`, or "".
std::string ErrorRecordFor(const std::string& logPath) {
  const std::string bytes = os::AnsiToUtf8(logtest::ReadBytes(HuxLoggerErrorWriterFileName()));
  for (const auto& line : logtest::SplitRecords(bytes))
    if (line.find("\"" + logPath + "\"") != std::string::npos)
      return line;
  return "";
}

TEST(HuxLoggerErrorWriter, LivesInTheTempDirectoryAndNeverReportsItself) {
  HuxLoggerUnitInitialize();
  auto writer = HuxLoggerErrorWriter();
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(writer->FileName(), os::TempDirectory() + "HuxLoggerErrorsWriter.log");
  EXPECT_TRUE(writer->IsErrorWriter());
  EXPECT_TRUE(writer->TrimInPlace());
  EXPECT_EQ(writer->MaxSize(), 1048576);
  EXPECT_TRUE(writer->HasMutex());

  logtest::ScratchDir dir;
  const std::string missing = dir / "нет/errors.log";
  THuxLogger quiet(missing);
  quiet.SetIsErrorWriter(true);
  quiet.Write("никому не сообщается");
  EXPECT_EQ(ErrorRecordFor(missing), "");
}

TEST(HuxLoggerErrorWriter, FailedRecordIsReportedAndMarked) {
  logtest::ScratchDir dir;
  const std::string missing = dir / "нет каталога" + std::string(1, os::PathDelimiter()) + "a.log";
  THuxLogger log(missing);
  log.SetNotifyWindow(1);
  log.Write("  Программа запущена ");  // the directory is missing: the create fails
  const std::string record = ErrorRecordFor(missing);
  ASSERT_FALSE(record.empty());
  std::string after;
  ASSERT_TRUE(logtest::HasStamp(record, &after));
  const std::string head = " Ошибка при попытке записи (fmCreate) в лог \"" + missing +
                           "\" строки [Программа запущена]: ";
  EXPECT_EQ(after.substr(0, head.size()), head);
  EXPECT_EQ(after.substr(after.size() - 13), " <EFileError>");
  std::lock_guard guard(log.ListLock());
  ASSERT_EQ(log.RecentLines().size(), 1u);
  EXPECT_EQ(log.RecentLines().back().substr(23), " Программа запущена <Ошибка при записи в лог>");
}

TEST(HuxLoggerErrorWriter, UnitCanFinishAndStartAgain) {
  HuxLoggerUnitFinalize();
  EXPECT_EQ(HuxLoggerErrorWriter(), nullptr);
  logtest::ScratchDir dir;
  THuxLogger log(dir / "x" + std::string(1, os::PathDelimiter()) + "a.log");
  log.Write("после конца модуля");  // nobody to report to, and nothing raised
  HuxLoggerUnitInitialize();
  EXPECT_NE(HuxLoggerErrorWriter(), nullptr);
}

}  // namespace
