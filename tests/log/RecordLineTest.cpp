// The record line and the plain write path: levels, tags, trimming, options, settings.
#include <gtest/gtest.h>

#include <cmath>

#include "log/HuxLogger.h"
#include "os/CodePage.h"
#include "os/Files.h"
#include "os/Process.h"
#include "tests/log/LogTestSupport.h"

namespace {

using logtest::HasStamp;
using logtest::ReadBytes;
using logtest::SplitRecords;

// The file's records as UTF-8 lines.
std::vector<std::string> Records(const std::string& path) {
  std::string rest;
  auto lines = SplitRecords(os::AnsiToUtf8(ReadBytes(path)), &rest);
  EXPECT_EQ(rest, "") << "the file does not end with CR LF";
  return lines;
}

// The stamp of `line` as a date-time, checked to be the present moment.
void ExpectFreshStamp(const std::string& line) {
  ASSERT_TRUE(HasStamp(line)) << line;
  TDateTime stamp = 0;
  ASSERT_TRUE(TryStrToDateTime(line.substr(0, 23), NowDateTime(), stamp)) << line;
  EXPECT_LT(std::fabs(stamp - NowDateTime()) * 86400.0, 5.0) << line;
}

TEST(HuxLoggerRecord, CreateTouchesNoFileAndSetsDefaults) {
  logtest::ScratchDir dir;
  THuxLogger log(dir / "a.log");
  EXPECT_FALSE(os::FileExists(dir / "a.log"));
  EXPECT_EQ(log.FileName(), dir / "a.log");
  EXPECT_EQ(log.MaxSize(), 1048576);
  EXPECT_TRUE(log.TrimInPlace());
  EXPECT_TRUE(log.Enabled());
  EXPECT_EQ(log.Prefix(), "");
  EXPECT_FALSE(log.WriteThreadId());
  EXPECT_FALSE(log.WriteProcessId());
  EXPECT_EQ(log.DateTimeFormat(), "dd/mm/yyyy hh:nn:ss.zzz");
  EXPECT_FALSE(log.WriteLevelChar());
  EXPECT_TRUE(log.WriteLevelTag());
  EXPECT_TRUE(log.UseMutex());
  EXPECT_TRUE(log.HasMutex());
  EXPECT_EQ(log.KeepFiles(), 10);
  EXPECT_FALSE(log.IsErrorWriter());
  EXPECT_TRUE(log.Levels().all());
  EXPECT_EQ(log.NotifyWindow(), 0u);
  EXPECT_EQ(log.NotifyMessage(), 1345u);
  EXPECT_EQ(log.MaxRecentLines(), 1024);
  EXPECT_EQ(log.MaxAge(), 0.0);
  EXPECT_EQ(log.LastAgeCheck(), 0.0);
}

TEST(HuxLoggerRecord, EveryLevelGetsItsTag) {
  logtest::ScratchDir dir;
  THuxLogger log(dir / "levels.log");
  const char* expected[] = {"",        " [инф]",   " [ошиб]",  " [сбой]",
                            " [вним]", " [событ]", " [отлад]", " [другое]"};
  for (int level = 0; level < 8; ++level)
    log.Write("Создание резервной копии завершено", static_cast<TLogLevel>(level));
  const auto lines = Records(dir / "levels.log");
  ASSERT_EQ(lines.size(), 8u);
  for (int level = 0; level < 8; ++level) {
    ExpectFreshStamp(lines[level]);
    EXPECT_EQ(lines[level].substr(23),
              std::string(expected[level]) + " Создание резервной копии завершено");
  }
}

TEST(HuxLoggerRecord, RecordsAreAnsiBytesOnDisk) {
  logtest::ScratchDir dir;
  THuxLogger log(dir / "ansi.log");
  log.Write("Программа запущена");
  const std::string bytes = ReadBytes(dir / "ansi.log");
  ASSERT_EQ(bytes.size(), 23 + 1 + os::Utf8ToAnsi("Программа запущена").size() + 2);
  EXPECT_EQ(bytes.substr(23), " " + os::Utf8ToAnsi("Программа запущена") + "\r\n");
}

TEST(HuxLoggerRecord, TextIsTrimmedButInnerBreaksStay) {
  logtest::ScratchDir dir;
  THuxLogger log(dir / "trim.log");
  log.Write(" \t\r\n первая строка\r\nвторая\tстрока \r\n  ", llError);
  const std::string bytes = os::AnsiToUtf8(ReadBytes(dir / "trim.log"));
  ASSERT_TRUE(HasStamp(bytes));
  EXPECT_EQ(bytes.substr(23), " [ошиб] первая строка\r\nвторая\tстрока\r\n");
  std::string text = "\x01\x1f x \x7f ";
  EXPECT_EQ(log.BuildLine(text, llPlain).substr(23), " x \x7f");
  EXPECT_EQ(text, "x \x7f");  // the caller's text is replaced by the trimmed one
}

TEST(HuxLoggerRecord, EmptyOrBlankTextWritesExactlyCrLf) {
  logtest::ScratchDir dir;
  THuxLogger log(dir / "empty.log");
  log.Write("");
  EXPECT_EQ(ReadBytes(dir / "empty.log"), "\r\n");
  log.Write("   \t ");
  log.Write("\r\n", llEvent);
  EXPECT_EQ(ReadBytes(dir / "empty.log"), "\r\n\r\n\r\n");
}

TEST(HuxLoggerRecord, LevelsAboveSevenAndExcludedLevelsWriteNothing) {
  logtest::ScratchDir dir;
  THuxLogger log(dir / "none.log");
  log.Write("восемь", static_cast<TLogLevel>(8));
  log.Write("много", static_cast<TLogLevel>(255));
  EXPECT_FALSE(os::FileExists(dir / "none.log"));
  log.SetLevels(TLogLevels().set().reset(llDebug));
  log.Write("отладка", llDebug);
  EXPECT_FALSE(os::FileExists(dir / "none.log"));
  log.Write("событие", llEvent);
  ASSERT_EQ(Records(dir / "none.log").size(), 1u);
}

TEST(HuxLoggerRecord, DisabledLogCreatesNoFile) {
  logtest::ScratchDir dir;
  THuxLogger log(dir / "off.log");
  log.SetEnabled(false);
  log.Write("Программа запущена");
  log.WriteFmt("%s", {"x"});
  EXPECT_FALSE(os::FileExists(dir / "off.log"));
}

TEST(HuxLoggerRecord, NameWithoutDirectoryGoesBesideTheProgram) {
  const std::string name = "velmar-log-test-" + std::to_string(os::CurrentProcessId()) + ".log";
  const std::string expected = os::ProgramDirectory() + name;
  {
    THuxLogger log(name);
    EXPECT_EQ(log.FileName(), expected);
    log.Write("рядом с программой");
  }
  EXPECT_EQ(Records(expected).size(), 1u);
  os::RemoveFile(expected);
}

TEST(HuxLoggerRecord, AllOptionsComeInTheirOrder) {
  logtest::ScratchDir dir;
  THuxLogger log(dir / "options.log");
  log.SetWriteLevelChar(true);
  log.SetPrefix("КАССА1");
  log.SetWriteProcessId(true);
  log.SetWriteThreadId(true);
  std::string text = "  текст ";
  const std::string line = log.BuildLine(text, llError);
  ASSERT_EQ(line.substr(0, 2), "? ");
  ASSERT_TRUE(HasStamp(line.substr(2)));
  EXPECT_EQ(line.substr(25), " [ошиб] КАССА1 <P:" + std::to_string(os::CurrentProcessId()) +
                                 ";T:" + std::to_string(os::CurrentThreadId()) + "> текст");
  log.SetWriteThreadId(false);
  EXPECT_EQ(log.BuildLine(text, llPlain).substr(25),
            " КАССА1 <P:" + std::to_string(os::CurrentProcessId()) + "> текст");
  log.SetWriteProcessId(false);
  log.SetWriteThreadId(true);
  log.SetWriteLevelTag(false);
  log.SetPrefix("");
  EXPECT_EQ(log.BuildLine(text, llOther).substr(0, 2), "@ ");
  EXPECT_EQ(log.BuildLine(text, llOther).substr(25),
            " <T:" + std::to_string(os::CurrentThreadId()) + "> текст");
}

TEST(HuxLoggerRecord, WriteFmtWritesOneFormattedRecord) {
  logtest::ScratchDir dir;
  THuxLogger log(dir / "fmt.log");
  log.WriteFmt("Будет выполнена попытка заменить файл \"%s\" на \"%s\"",
               {"C:\\KORA\\DB\\VELMAR.FDB", "C:\\KORA\\DB\\VELMAR.db_restored1"}, llEvent);
  const auto lines = Records(dir / "fmt.log");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(23),
            " [событ] Будет выполнена попытка заменить файл \"C:\\KORA\\DB\\VELMAR.FDB\" на "
            "\"C:\\KORA\\DB\\VELMAR.db_restored1\"");
  EXPECT_THROW(log.WriteFmt("%d", {"не число"}), EConvertError);
  EXPECT_THROW(log.WriteFmt("%s %s", {"один"}), EConvertError);
  EXPECT_EQ(Records(dir / "fmt.log").size(), 1u);
}

TEST(HuxLoggerRecord, RecentLinesKeepTheNewestWhenAWindowListens) {
  logtest::ScratchDir dir;
  THuxLogger log(dir / "recent.log");
  log.Write("не в списке");
  log.SetNotifyWindow(1);  // a handle nobody owns: the post fails quietly
  log.SetMaxRecentLines(3);
  for (int i = 1; i <= 5; ++i)
    log.Write("запись " + std::to_string(i));
  std::lock_guard guard(log.ListLock());
  ASSERT_EQ(log.RecentLines().size(), 3u);
  EXPECT_EQ(log.RecentLines().front().substr(23), " запись 3");
  EXPECT_EQ(log.RecentLines().back().substr(23), " запись 5");
}

TEST(HuxLoggerRecord, MutexCanBeSwitchedOffAndBackOnThroughTheName) {
  logtest::ScratchDir dir;
  THuxLogger log(dir / "m.log");
  ASSERT_TRUE(log.HasMutex());
  log.SetUseMutex(false);
  EXPECT_FALSE(log.HasMutex());
  log.Write("без мьютекса");
  log.SetUseMutex(true);
  EXPECT_FALSE(log.HasMutex());  // switching on opens nothing by itself
  log.SetFileName(dir / "m.log");
  EXPECT_TRUE(log.HasMutex());
  log.Write("с мьютексом");
  EXPECT_EQ(Records(dir / "m.log").size(), 2u);
}

TEST(HuxLoggerRecord, EmptyNameChangesNothing) {
  logtest::ScratchDir dir;
  THuxLogger log(dir / "keep.log");
  log.SetFileName("");
  EXPECT_EQ(log.FileName(), dir / "keep.log");
  log.SetFileName(dir / "other.log");
  EXPECT_EQ(log.FileName(), dir / "other.log");
}

}  // namespace
