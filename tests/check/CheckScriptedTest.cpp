// The check with the scripted stand-in at gfix's fixed path, on both platforms. Under Wine no
// server can run and no client library is installed, so the trial backup fails there with
// the client's own error; on Linux it fails because no server listens on the port given.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "check/CheckWorkflow.h"
#include "check/TrialBackup.h"
#include "check/ValidateDatabase.h"
#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/Environment.h"
#include "os/File.h"
#include "os/Files.h"
#include "os/Time.h"
#include "progress/ProgressViewer.h"
#include "server/FBUtils.h"
#include "server/FixedPaths.h"
#include "tests/check/LogRecords.h"
#include "tests/server/KoraSandbox.h"
#include "tests/server/ServerTestTools.h"
#include "tests/support/ProgramUnits.h"
#include "tests/support/ScriptedDialogs.h"

using checktest::LogRecord;

namespace {

// Nothing listens there: the Linux client then fails to attach, as the missing client
// library makes it fail under Wine.
constexpr int kSilentPort = 9;

std::string StandinPath() {
  return os::ProgramDirectory() + (OnWindows() ? "standin_tool.exe" : "standin_tool");
}

std::string DamageTail() {
  return "База повреждена. Более подробная информация о повреждениях находится\r\n"
         "в файле \"" +
         paths::ServerLog() +
         "\". Повреждения могут иметь разную\r\n"
         "степень опасности. Для того, чтобы определить, насколько опасны\r\n"
         "данные повреждения, программа попытается сделать резервную\r\n"
         "копию базы данных. Если при создании резервной копии не будет\r\n"
         "выявлено ошибок, значит повреждения базы незначительные (с базой\r\n"
         "работать можно, однако некоторые записи могут не попадать в отчеты).";
}

std::string BackupFailureHead() {
  return "Была выполнена попытка сделать резервную копию базы данных.\r\n"
         "Резервную копию сделать не удалось. Вероятно, база данных\r\n"
         "повреждена. Дополнительные сведения об ошибке смотрите в\r\n"
         "файле: " +
         paths::SessionLogFile() +
         "\r\n"
         "\r\n"
         "Текст ошибки:\r\n";
}

BoxExpectation BackupFailureBox() {
  return {.caption = "Внимание!",
          .textContains = BackupFailureHead() + "СозданиеРезервнойКопииБД -> ",
          .buttons = DialogButtons::Ok,
          .icon = DialogIcon::Error};
}

class ScriptedCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox_.InstallSuiteLibrary(
        BuiltSuiteLibrary(), "[Common]\nPassword=pw1\nPort=" + std::to_string(kSilentPort) + "\n");
    sandbox_.InstallProgram(StandinPath(), paths::Gfix());
    database_ = paths::KoraRoot() + os::PathDelimiter() + "DB" + os::PathDelimiter() +
                "check scripted" + os::PathDelimiter() + "VELMAR.FDB";
    ASSERT_TRUE(os::ForceDirectories(os::ExtractFileDir(database_)));
    WriteFileBytes(database_, "stands for a database");
    ASSERT_TRUE(os::ForceDirectories(os::ExtractFileDir(paths::SessionLogFile())));
    os::RemoveFile(paths::SessionLogFile());

    ASSERT_TRUE(units_.Start());
  }

  void TearDown() override {
    units_.Stop();
    EXPECT_FALSE(os::FileExists(os::ChangeFileExt(database_, ".db_backup")));
    os::RemoveFile(database_);
    os::RemoveFile(paths::SessionLogFile());
    os::RemoveFile(sandbox_.Root() + os::PathDelimiter() + "gfix.script");
    os::SetEnv("VELMAR_STANDIN_SCRIPT", "");
  }

  // What the stand-in gfix writes to its error stream, one line each.
  void GfixComplains(const std::vector<std::string>& lines) {
    std::string script = "[* -v -full]\n";
    for (const std::string& line : lines)
      script += "err: " + line + "\n";
    const std::string path = sandbox_.Root() + os::PathDelimiter() + "gfix.script";
    WriteFileBytes(path, script);
    os::SetEnv("VELMAR_STANDIN_SCRIPT", path);
  }

  void RunCheck(ScriptedDialogs& dialogs) {
    WorkflowContext context{dialogs, [this] { return database_; }};
    CheckDatabase(context);
  }

  // The backup failure box's message: the chained error of the trial backup.
  static std::string ChainedMessage(const RecordedBox& box) {
    return box.text.substr(BackupFailureHead().size());
  }

  KoraSandbox sandbox_;
  std::string database_;
  testsupport::ProgramUnits units_;
};

TEST_F(ScriptedCheck, DamageThenABackupThatCannotReachTheServer) {
  GfixComplains({"Summary of validation errors", "{tab}Number of index page errors{tab}: 3"});
  ScriptedDialogs dialogs;
  const std::string report =
      "При проверке выявлены следующие ошибки:\r\n\tКол-во ошибок на страницах с индексами\t: "
      "3\r\n";
  dialogs
      .Box(DialogResult::Ok, {.caption = "Внимание! База повреждена!",
                              .text = report + "\r\n\r\n" + DamageTail(),
                              .buttons = DialogButtons::Ok,
                              .icon = DialogIcon::Warning})
      .Box(DialogResult::Ok, BackupFailureBox());
  RunCheck(dialogs);

  const auto boxes = dialogs.Boxes();
  ASSERT_EQ(boxes.size(), 2u) << dialogs.Transcript();
  const std::string chained = ChainedMessage(boxes[1]);
  EXPECT_EQ(chained.substr(chained.size() - 21), " <# EFirebirdError #>") << chained;
  if (OnWindows()) {
    EXPECT_NE(chained.find("fbclient.dll"), std::string::npos) << chained;
    // The suite's own paths, as the operator knows them.
    EXPECT_NE(boxes[0].text.find("в файле \"C:\\KORA\\FIREBIRD\\firebird.log\"."),
              std::string::npos);
    EXPECT_NE(boxes[1].text.find("файле: C:\\KORA\\LogFiles\\VelmarDBRepair.log\r\n"),
              std::string::npos);
  }

  const std::string backup = os::ChangeFileExt(database_, ".db_backup");
  const auto records = checktest::ReadSessionLogRecords();
  const auto texts = checktest::TextsOf(records);
  ASSERT_EQ(texts.size(), 9u) << ::testing::PrintToString(texts);
  EXPECT_EQ(texts[0], "Начало проверки базы данных " + database_);
  EXPECT_EQ(texts[1], "Начало проверки gfix");
  EXPECT_EQ(texts[2],
            checktest::WithoutCarriageReturns("Ошибка gfix: " + report).substr(0, texts[2].size()));
  EXPECT_EQ(records[2].tag, " [ошиб]");
  // Naming the damaged tables needs the server too; the report stays as the validation gave it.
  EXPECT_EQ(texts[3].rfind("Не удалось определить поврежденные таблицы: ", 0), 0u) << texts[3];
  if (OnWindows()) {
    EXPECT_NE(texts[3].find("fbclient.dll"), std::string::npos) << texts[3];
  }
  EXPECT_EQ(texts[4], "Начало создания резервной копии");
  EXPECT_EQ(texts[5], "Будет создана резервная копия \"" + backup + "\" базы данных \"" +
                          database_ + "\" (127.0.0.1)");
  EXPECT_EQ(records[5].tag, " [событ]");
  // It never got as far as reading output, so no output is logged.
  const std::string inner =
      chained.substr(std::string("СозданиеРезервнойКопииБД -> ").size(),
                     chained.size() - 21 - std::string("СозданиеРезервнойКопииБД -> ").size());
  EXPECT_EQ(texts[6],
            checktest::WithoutCarriageReturns("Ошибка создания резервной копии: " + inner));
  EXPECT_EQ(records[6].tag, " [ошиб]");
  EXPECT_EQ(texts[7],
            checktest::WithoutCarriageReturns("Ошибка при создании резервной копии: " + chained));
  EXPECT_EQ(records[7].tag, "");
  EXPECT_EQ(texts[8], "Проверка базы данных завершена!");
}

TEST_F(ScriptedCheck, CleanValidationAndCancelEndsAfterTheQuestion) {
  GfixComplains({" ", ""});
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Cancel, {.caption = "Повреждений не обнаружено!",
                                     .buttons = DialogButtons::OkCancel,
                                     .icon = DialogIcon::Information,
                                     .defaultButton = 0});
  RunCheck(dialogs);
  EXPECT_EQ(checktest::TextsOf(checktest::ReadSessionLogRecords()),
            (std::vector<std::string>{
                "Начало проверки базы данных " + database_,
                "Начало проверки gfix",
                "Проверка gfix завершена. Повреждений не обнаружено.",
                "Проверка базы данных завершена!",
            }));
}

TEST_F(ScriptedCheck, CleanValidationAndOkThenAFailedBackup) {
  GfixComplains({});
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Ok, {.caption = "Повреждений не обнаружено!"})
      .Box(DialogResult::Ok, BackupFailureBox());
  RunCheck(dialogs);
  const auto texts = checktest::TextsOf(checktest::ReadSessionLogRecords());
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2].rfind("Ошибка при создании резервной копии: ", 0), 0u);
  EXPECT_EQ(texts.back(), "Проверка базы данных завершена!");
}

TEST_F(ScriptedCheck, DatabaseInUseThenAFailedBackup) {
  GfixComplains({"bad parameters on attach or create database",
                 "-secondary server attachments cannot validate databases"});
  ScriptedDialogs dialogs;
  dialogs
      .Box(DialogResult::No, {.caption = "База данных используется",
                              .buttons = DialogButtons::YesNo,
                              .defaultButton = 1})
      .Box(DialogResult::Ok,
           {.caption = "Ошибка",
            .text = "В ходе работы процедуры проверки базы данных\r\n"
                    "произошла ошибка: \r\n"
                    "Невозможно выполнить проверку базы данных, т.к. в данный момент база "
                    "данных используется другим приложением\r\n"
                    "\r\n"
                    "Программа попытается выполнить проверку путем создания\r\n"
                    "резервной копии базы данных",
            .buttons = DialogButtons::Ok,
            .icon = DialogIcon::Error})
      .Box(DialogResult::Ok, BackupFailureBox());
  RunCheck(dialogs);
}

// Yes to the check while in use, where the server cannot be reached (under Wine: where the
// client library cannot be loaded): the reason is shown, and no trial backup follows.
TEST_F(ScriptedCheck, DatabaseInUseAndYesWithoutAServerSaysWhy) {
  GfixComplains({"-secondary server attachments cannot validate databases"});
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Yes, {.caption = "База данных используется"})
      .Box(DialogResult::Ok,
           {.caption = "Ошибка",
            .textContains = "В ходе проверки базы данных без закрытия программ\r\n"
                            "произошла ошибка: \r\n",
            .buttons = DialogButtons::Ok,
            .icon = DialogIcon::Error});
  RunCheck(dialogs);
  if (OnWindows()) {
    EXPECT_NE(dialogs.Boxes().at(1).text.find("fbclient.dll"), std::string::npos)
        << dialogs.Transcript();
  }
  const auto texts = checktest::TextsOf(checktest::ReadSessionLogRecords());
  ASSERT_EQ(texts.size(), 6u) << ::testing::PrintToString(texts);
  EXPECT_EQ(texts[2].rfind("Ошибка gfix: Невозможно выполнить проверку", 0), 0u);
  EXPECT_EQ(texts[3], "Начало проверки базы данных без закрытия программ");
  EXPECT_EQ(texts[4].rfind("Ошибка проверки без закрытия программ: ", 0), 0u) << texts[4];
  EXPECT_EQ(texts[5], "Проверка базы данных завершена!");
}

TEST_F(ScriptedCheck, RefusedLoginIsAnErrorNotDamage) {
  const std::string refused =
      "Your user name and password are not defined. Ask your database administrator to set up "
      "a Firebird login.";
  GfixComplains({refused});
  ScriptedDialogs dialogs;
  dialogs
      .Box(DialogResult::Ok, {.caption = "Ошибка",
                              .text = "В ходе работы процедуры проверки базы данных\r\n"
                                      "произошла ошибка: \r\n" +
                                      refused +  // the tool's line break leaves no empty row
                                      "\r\n\r\n"
                                      "Программа попытается выполнить проверку путем создания\r\n"
                                      "резервной копии базы данных",
                              .buttons = DialogButtons::Ok,
                              .icon = DialogIcon::Error})
      .Box(DialogResult::Ok, BackupFailureBox());
  RunCheck(dialogs);
  const auto records = checktest::ReadSessionLogRecords();
  ASSERT_GE(records.size(), 3u);
  EXPECT_EQ(records[2].text, "Ошибка gfix: " + refused);
  EXPECT_EQ(records[2].tag, " [ошиб]");
}

// The trial backup of "x.db_backup" would be the file itself, deleted as an old backup.
TEST_F(ScriptedCheck, ADatabaseBearingTheTrialBackupsNameIsRefusedAndKept) {
  GfixComplains({"Summary of validation errors"});
  const std::string named = os::ChangeFileExt(database_, ".db_backup");
  ASSERT_TRUE(os::RenameFile(database_, named));
  database_ = named;
  ScriptedDialogs dialogs;  // no box may open
  try {
    RunCheck(dialogs);
    FAIL() << "the check ran on its own scratch name";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Нельзя проверять файл \"" + named +
                               "\"!\r\nФайл с таким именем программа создает при проверке и "
                               "затем удаляет.\r\nПереименуйте файл базы данных и повторите "
                               "проверку.");
  }
  EXPECT_TRUE(dialogs.Boxes().empty()) << dialogs.Transcript();
  ASSERT_TRUE(os::RenameFile(named, os::ChangeFileExt(named, ".FDB")));
  database_ = os::ChangeFileExt(named, ".FDB");
  EXPECT_EQ(os::ReadWholeFile(database_), "stands for a database");
}

TEST_F(ScriptedCheck, TrialBackupChainsTheClientsError) {
  std::vector<std::string> verboseLog{"kept"};
  const std::string backup = os::ChangeFileExt(database_, ".db_backup");
  try {
    MakeTrialBackup("127.0.0.1", database_, backup, "SYSDBA", "pw1", verboseLog, kSilentPort,
                    /*ShowProgress=*/true);
    FAIL() << "a backup ran without a server";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.ClassName(), "EFirebirdError");
    EXPECT_EQ(e.Message().rfind("СозданиеРезервнойКопииБД -> ", 0), 0u) << e.Message();
    if (OnWindows()) {
      EXPECT_NE(e.Message().find("Не удалось загрузить клиентскую библиотеку сервера базы данных "
                                 "fbclient.dll"),
                std::string::npos)
          << e.Message();
    }
  }
  EXPECT_EQ(verboseLog, std::vector<std::string>{"kept"});
  const auto records = checktest::ReadSessionLogRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].tag, " [ошиб]");
  EXPECT_EQ(records[1].text.rfind("Ошибка создания резервной копии: ", 0), 0u);
}

TEST_F(ScriptedCheck, AnOldBackupFileHeldOpenEndsAtOnceWithTheDeletionError) {
  if (!OnWindows())
    GTEST_SKIP() << "an open file does not stop its deletion here; test_trial_backup makes one "
                    "that cannot be deleted";
  const std::string backup = os::ChangeFileExt(database_, ".db_backup");
  WriteFileBytes(backup, "left over from an earlier run");
  {
    // Opened without delete sharing, as another program may hold it.
    std::unique_ptr<os::File> held = os::File::Open(backup, os::File::Mode::OpenReadShared);
    ASSERT_TRUE(held);
    std::vector<std::string> verboseLog;
    const std::uint64_t start = os::MonotonicMs();
    try {
      MakeTrialBackup("127.0.0.1", database_, backup, "SYSDBA", "pw1", verboseLog, kSilentPort,
                      /*ShowProgress=*/true);
      FAIL() << "the backup ran over an old file it could not delete";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.ClassName(), "Exception");
      const std::string head =
          "СозданиеРезервнойКопииБД -> Ошибка при удалении файла \"" + backup + "\": ";
      EXPECT_EQ(e.Message().rfind(head, 0), 0u) << e.Message();
      EXPECT_GT(e.Message().size(), head.size() + 16) << "the system's reason is missing";
    }
    EXPECT_LT(os::MonotonicMs() - start, 1000u);
  }
  const auto records = checktest::ReadSessionLogRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].text.rfind("Ошибка создания резервной копии: Ошибка при удалении файла", 0),
            0u);
  os::RemoveFile(backup);
}

}  // namespace
