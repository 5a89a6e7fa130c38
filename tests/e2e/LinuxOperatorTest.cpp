// The Linux runner: the real program worked by an operator at the test display, against the
// private Firebird server with the server's own gfix and gbak and real databases damaged on
// purpose. Each test gets a suite root of its own in a scratch folder and a fresh home, so
// nothing is remembered. The scenarios both platforms play are in OperatorTest.cpp.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "os/Environment.h"
#include "os/Files.h"
#include "tests/e2e/OperatorFixture.h"
#include "tests/support/KoraSandbox.h"
#include "tests/support/LogRecords.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using testsupport::FileBytes;

namespace e2e {

namespace {

std::string Env(const char* name) {
  return os::GetEnv(name).value_or("");
}

}  // namespace

scenarios::Platform Operator::ThisPlatform() {
  return scenarios::Platform::Linux;
}

void Operator::PrepareDesk() {
  ASSERT_FALSE(Env("VELMAR_BIN_DIR").empty());
  scratch_ =
      (fs::temp_directory_path() / ("velmar-e2e-" + std::to_string(getpid()) + "-" + TestName()))
          .string();
  fs::remove_all(scratch_);
  // GTK's file dialog keeps its recent files there.
  fs::create_directories(scratch_ + "/home/.local/share");
  fs::create_directories(InSuite("DB"));
}

void Operator::LeaveDesk() {
  if (scratch_.empty())
    return;
  // A cancelled tool may still write beside the database.
  PollUntil(60000, [&] { return !testsupport::ToolRunsOn(InSuite("")); });
  std::error_code ignored;
  fs::remove_all(scratch_, ignored);
}

void Operator::InstallSuite() {
  fs::create_directories(InSuite("FIREBIRD/bin"));
  fs::create_symlink("/usr/bin/gfix", InSuite("FIREBIRD/bin/gfix"));
  fs::create_symlink("/usr/bin/gbak", InSuite("FIREBIRD/bin/gbak"));
  // The suite library reads fbUtils.ini beside itself: a copy, not a link.
  fs::copy_file(Env("VELMAR_BIN_DIR") + "/libfbUtils.so", InSuite("libfbUtils.so"));
  testsupport::PutFile(InSuite("fbUtils.ini"),
                       testsupport::SuiteLibraryIni(server_.password, server_.port));
  testsupport::PutFile(InSuite("FIREBIRD/firebird.log"), "");
}

std::string Operator::InSuite(const std::string& relative) const {
  return scratch_ + "/kora" + (relative.empty() ? "" : "/" + relative);
}

std::string Operator::ProgramPath() const {
  return Env("VELMAR_BIN_DIR") + "/VelmarDBRepair";
}

std::vector<std::string> Operator::ProgramEnvironment() const {
  return {"KORA_ROOT=" + InSuite(""), "HOME=" + scratch_ + "/home",
          "XDG_CONFIG_HOME=" + scratch_ + "/home/.config", "LANG=C.UTF-8", "LC_ALL=C.UTF-8"};
}

// A path typed into the dialog, in a folder of its own.
std::string Operator::ChooseSafetyCopy() {
  const std::string safety = scratch_ + "/copies/VELMAR_SAFE.FDB";
  fs::create_directories(scratch_ + "/copies");
  SaveSafetyCopyAs(safety);
  return safety;
}

namespace {

using LinuxOperator = Operator;

// The name remembered for the next start, from FLTK's preferences file.
std::string Preferences(const std::string& scratch) {
  std::string prefs = FileBytes(scratch + "/home/.fltk/Norwin/Velmar/VelmarDBRepair.prefs");
  // Long values go on over lines that start with '+'.
  for (std::size_t at; (at = prefs.find("\n+")) != std::string::npos;)
    prefs.erase(at, 2);
  return prefs;
}

// The dialog asks before a file is overwritten: the operator confirms.
void ConfirmOverwrite(OperatorSession& session, const std::string& dialogId) {
  std::string question;
  ASSERT_TRUE(PollUntil(15000, [&] {
    const std::string active = ActiveWindow();
    if (active.empty() || active == dialogId || active == session.MainWindow())
      return false;
    question = active;
    return true;
  })) << "no overwrite question";
  session.Photograph(question, "overwrite-question", "the save dialog's overwrite question");
  ASSERT_TRUE(PressKeys(question, "Return"));
}

TEST_F(LinuxOperator, CleanDatabaseCheckedTwiceAnsweringCancelThenOk) {
  InstallSuite();
  MakeDatabase(500, false);
  StartProgram();

  ASSERT_TRUE(session_->ClickCheck());
  ExpectBox("Повреждений не обнаружено!", "Escape");
  // Cancel ends the run after the validation: exactly four records.
  EXPECT_EQ(TextsOf(RunRecords()), (std::vector<std::string>{
                                       "Начало проверки базы данных " + Database(),
                                       "Начало проверки gfix",
                                       "Проверка gfix завершена. Повреждений не обнаружено.",
                                       "Проверка базы данных завершена!",
                                   }));

  ASSERT_TRUE(session_->ClickCheck());
  ExpectBox("Повреждений не обнаружено!", "Return");
  ExpectBox("Информация", "Return");
  const std::vector<SessionRecord> records = RunRecords();
  const int second = FindRecord(records, "Начало проверки базы данных ", 1);
  ASSERT_EQ(second, 4) << Dump(records);
  const std::vector<SessionRecord> run(records.begin() + second, records.end());
  ASSERT_GE(run.size(), 8u) << Dump(run);
  EXPECT_EQ(run[1].text, "Начало проверки gfix");
  EXPECT_EQ(run[2].text, "Проверка gfix завершена. Повреждений не обнаружено.");
  EXPECT_EQ(run[3].text, "Начало создания резервной копии");
  EXPECT_EQ(run[run.size() - 4].text, "Резервная копия сделана. Ошибок нет!") << Dump(run);
  // The backup is then restored, to prove it gives a working database again.
  EXPECT_EQ(run[run.size() - 3].text, "Начало проверочного восстановления из резервной копии");
  EXPECT_EQ(run[run.size() - 2].text, "Проверочное восстановление прошло успешно. Ошибок нет!");
  EXPECT_EQ(run.back().text, "Проверка базы данных завершена!");
  // The trial backup's own records come between, as events.
  for (std::size_t i = 4; i + 4 < run.size(); ++i)
    EXPECT_EQ(run[i].tag, " [событ]") << run[i].text;
  EXPECT_FALSE(fs::exists(InSuite("DB/VELMAR.db_backup"))) << "the trial backup was left";
  EXPECT_FALSE(fs::exists(InSuite("TEMP/DBRepair/FireBirdFixLog.log")));

  CloseProgram();
  EXPECT_EQ(session_->Captions(),
            (std::vector<std::string>{"Повреждений не обнаружено!", "Повреждений не обнаружено!",
                                      "Информация"}));
  // The run opened with its blank line, and the field's name was remembered on closing.
  const std::string log = ReadSessionLog(SessionLog());
  EXPECT_EQ(log.rfind("\n", 0) == 0 || log.rfind("\r\n", 0) == 0, true) << log;
  const std::string prefs = Preferences(scratch_);
  EXPECT_NE(prefs.find(Database()), std::string::npos) << prefs;
}

TEST_F(LinuxOperator, SafetyCopyOntoTheDatabaseItselfIsRefused) {
  // A database away from the default path, named by typing it into the file field.
  const std::string db = scratch_ + "/shop/SHOP.FDB";
  fs::create_directories(scratch_ + "/shop");
  InstallSuite();
  testsupport::CreateTestDatabase(server_, db, 200, false);
  const std::string bytes = FileBytes(db);
  StartProgram();
  ASSERT_TRUE(session_->TypeFileName(db));

  ASSERT_TRUE(session_->ShowRepairTab());
  ASSERT_TRUE(session_->ClickRepair());
  std::string dialog;
  SaveSafetyCopyAs(db, &dialog);
  ConfirmOverwrite(*session_, dialog);
  ExpectBox("Ошибка", "Return");

  EXPECT_EQ(TextsOf(RunRecords()), scenarios::RefusedRecords(db, scenarios::SelfCopyText()));
  EXPECT_EQ(FileBytes(db), bytes) << "the database was touched";
  EXPECT_EQ(testsupport::FolderNames(scratch_ + "/shop"), std::vector<std::string>{"SHOP.FDB"});
  EXPECT_FALSE(fs::exists(InSuite("Backup/FireBirdBase/SHOP_BACKUP.FDB")));

  CloseProgram();
  EXPECT_EQ(session_->Captions(), (std::vector<std::string>{kSaveDialogTitle, "Ошибка"}));
  // The typed name is the one remembered for the next start.
  const std::string prefs = Preferences(scratch_);
  EXPECT_NE(prefs.find("FilenameEdit1_FileName:" + db + "\n"), std::string::npos) << prefs;
}

TEST_F(LinuxOperator, EscapeDuringTheRepairsBackupStopsTheRepair) {
  InstallSuite();
  MakeDatabase(3000, true);
  // The server backs the database up in a moment: gbak's backup waits for the test's word, so
  // the operator's Esc always lands while it runs. Afterwards it runs to its own end.
  const std::string release = scratch_ + "/release-backup";
  const std::string gbak = InSuite("FIREBIRD/bin/gbak");
  fs::remove(gbak);
  // (It gives up waiting when the test's folder goes, should the test stop early.)
  std::ofstream(gbak) << "#!/bin/sh\nif [ \"$1\" = -b ]; then\n  while [ ! -e '" << release
                      << "' ] && [ -d '" << scratch_
                      << "' ]; do sleep 0.05; done\nfi\nexec /usr/bin/gbak \"$@\"\n";
  fs::permissions(gbak, fs::perms::owner_all);
  StartProgram();

  ASSERT_TRUE(session_->ShowRepairTab());
  ASSERT_TRUE(session_->ClickRepair());
  // The offered name in the offered folder.
  SaveSafetyCopyAs("");
  const std::string safety = InSuite("Backup/FireBirdBase/VELMAR_BACKUP.FDB");

  // The mend's and the re-check's windows close on their own threads and may still be on the
  // screen when the backup's record is written: Esc goes to the one window that stays.
  std::string progress;
  std::vector<std::string> lastLook;
  int sameLooks = 0;
  ASSERT_TRUE(
      PollUntil(60000,
                [&] {
                  if (FindRecord(RunRecords(), "Будет сделана резервная копия базы данных") < 0)
                    return false;
                  const std::vector<std::string> shown = ProgressWindows();
                  sameLooks = shown.size() == 1 && shown == lastLook ? sameLooks + 1 : 0;
                  lastLook = shown;
                  if (sameLooks < 2)
                    return false;
                  progress = shown.front();
                  return true;
                }))
      << "the backup's progress window did not show\n"
      << Dump(RunRecords());
  session_->Photograph(progress, "progress-before-escape", "the backup's progress window", true);
  ASSERT_TRUE(PressKeys(progress, "Escape"));
  ExpectBox("Ошибка", "Return");

  std::vector<SessionRecord> records = RunRecords();
  std::vector<std::string> texts = TextsOf(records);
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[0], "Начало ремонта базы данных: " + Database());
  EXPECT_EQ(texts[1], "Сделана копия файла базы данных: " + safety);
  EXPECT_EQ(texts[texts.size() - 2], "Будет сделана резервная копия базы данных") << Dump(records);
  EXPECT_EQ(texts.back(), "Ошибка функции ремонта базы данных: Прервано пользователем!");
  EXPECT_EQ(FindRecord(records, "Создание резервной копии успешно завершено"), -1);

  // The cancelled gbak runs to its own end; then the files tell what the cancel left.
  EXPECT_TRUE(testsupport::ToolRunsOn(InSuite(""))) << "the cancel stopped the tool";
  std::ofstream(release) << "";
  ASSERT_TRUE(PollUntil(60000, [&] { return !testsupport::ToolRunsOn(InSuite("")); }));
  EXPECT_TRUE(fs::exists(Database()));
  EXPECT_TRUE(fs::exists(safety));
  EXPECT_EQ(fs::file_size(safety), fs::file_size(Database()));
  EXPECT_FALSE(fs::exists(InSuite("DB/VELMAR.db_restored1")));
  EXPECT_EQ(testsupport::CountRows(server_, Database(), "SALES"), 3000);

  // The program goes on: the window takes the next click.
  ASSERT_TRUE(session_->ShowCheckTab());
  ASSERT_TRUE(session_->ClickCheck());
  ExpectBox("Повреждений не обнаружено!", "Escape");
  CloseProgram();
  EXPECT_EQ(session_->Captions(),
            (std::vector<std::string>{kSaveDialogTitle, "Ошибка", "Повреждений не обнаружено!"}));
  // The window Esc went to; the copy's and the mend's windows may come and go between two
  // looks of the watcher.
  EXPECT_GE(session_->ProgressWindowsSeen(), 1);
}

}  // namespace
}  // namespace e2e
