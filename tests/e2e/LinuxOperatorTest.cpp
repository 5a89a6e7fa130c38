// The real program on Linux, worked by an operator at the test display: the private Firebird
// server, the server's own gfix and gbak, real databases damaged on purpose. Each test gets
// a suite root of its own in a scratch folder and a fresh home, so nothing is remembered.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "os/Environment.h"
#include "os/Files.h"
#include "tests/e2e/OperatorSession.h"
#include "tests/e2e/SessionRecords.h"
#include "tests/support/DamageKit.h"
#include "tests/support/FbTestServer.h"
#include "tests/support/LogRecords.h"
#include "tests/support/OperatorScenarios.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using namespace e2e;
using testsupport::FileBytes;
using testsupport::RecordsAre;

namespace {

std::string Env(const char* name) {
  return os::GetEnv(name).value_or("");
}

// Any process but this one whose command line names `path`: a cancelled tool runs on.
bool ToolRunsOn(const std::string& path) {
  const std::string self = std::to_string(getpid());
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
      continue;
    if (FileBytes((entry.path() / "cmdline").string()).find(path) != std::string::npos)
      return true;
  }
  return false;
}

class LinuxOperator : public ::testing::Test {
 protected:
  void SetUp() override {
    auto server = testsupport::FbTestServer::FromEnvironment();
    ASSERT_TRUE(server) << "the private Firebird server is not running ($VELMAR_FB_DIR)";
    server_ = *server;
    ASSERT_FALSE(Env("VELMAR_BIN_DIR").empty());
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    scratch_ = (fs::temp_directory_path() / ("velmar-e2e-" + std::to_string(getpid()) + "-" + name))
                   .string();
    fs::remove_all(scratch_);
    root_ = scratch_ + "/kora";
    fs::create_directories(root_ + "/DB");
    fs::create_directories(root_ + "/FIREBIRD/bin");
    // GTK's file dialog keeps its recent files there.
    fs::create_directories(scratch_ + "/home/.local/share");
    fs::create_symlink("/usr/bin/gfix", root_ + "/FIREBIRD/bin/gfix");
    fs::create_symlink("/usr/bin/gbak", root_ + "/FIREBIRD/bin/gbak");
    // The suite library reads fbUtils.ini beside itself: a copy, not a link.
    fs::copy_file(Env("VELMAR_BIN_DIR") + "/libfbUtils.so", root_ + "/libfbUtils.so");
    std::ofstream(root_ + "/fbUtils.ini")
        << "[Common]\nPassword=" << server_.password << "\nPort=" << server_.port << "\n";
    std::ofstream(root_ + "/FIREBIRD/firebird.log") << "";
    session_ = std::make_unique<OperatorSession>(
        name, std::vector<std::string>{"KORA_ROOT=" + root_, "HOME=" + scratch_ + "/home",
                                       "XDG_CONFIG_HOME=" + scratch_ + "/home/.config",
                                       "LANG=C.UTF-8", "LC_ALL=C.UTF-8"});
  }

  void TearDown() override {
    session_.reset();
    if (root_.empty())
      return;
    std::error_code ignored;
    // The session log beside the pictures, for whoever reads them.
    fs::copy_file(SessionLog(),
                  ArtifactFolder() + "/linux-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                      "-session.log",
                  fs::copy_options::overwrite_existing, ignored);
    // A cancelled tool may still write beside the database.
    PollUntil(60000, [&] { return !ToolRunsOn(root_); });
    fs::remove_all(scratch_, ignored);
  }

  std::string Database() const { return root_ + "/DB/VELMAR.FDB"; }
  std::string SessionLog() const { return root_ + "/LogFiles/VelmarDBRepair.log"; }
  std::vector<SessionRecord> RunRecords() const {
    return LastRun(ParseSessionLog(ReadSessionLog(SessionLog())));
  }
  std::vector<SessionRecord> AllRecords() const {
    return ParseSessionLog(ReadSessionLog(SessionLog()));
  }

  void StartProgram() {
    ASSERT_TRUE(session_->Start(Env("VELMAR_BIN_DIR") + "/VelmarDBRepair"))
        << "the main window did not open";
  }

  // Waits for the next box, checks its caption and answers it with `keys`.
  void ExpectBox(const std::string& caption, const std::string& keys) {
    std::optional<ScreenWindow> box = session_->NextBox();
    ASSERT_TRUE(box) << "no box came; expected \"" << caption << "\"\n" << Dump(AllRecords());
    ASSERT_EQ(box->title, caption) << Dump(AllRecords());
    ASSERT_TRUE(session_->Answer(*box, keys)) << "the box \"" << caption << "\" stayed";
    WaitForQuietLog();
  }

  // The program writes its next records a moment after a box has gone (it first repaints the
  // part of the main window the box covered): wait until the log has stopped growing.
  void WaitForQuietLog() {
    std::uintmax_t last = static_cast<std::uintmax_t>(-1);
    int quietPolls = 0;
    PollUntil(10000, [&] {
      std::error_code ignored;
      const std::uintmax_t size = fs::file_size(SessionLog(), ignored);
      quietPolls = size == last ? quietPolls + 1 : 0;
      last = size;
      return quietPolls >= 4;
    });
  }

  // In the save dialog: the path typed over the offered name, then Save.
  void SaveSafetyCopyAs(const std::string& path, std::string* dialogId = nullptr) {
    std::optional<ScreenWindow> dialog = session_->NextBox();
    ASSERT_TRUE(dialog) << "no save dialog\n" << Dump(AllRecords());
    ASSERT_EQ(dialog->title, kSaveDialogTitle);
    if (dialogId)
      *dialogId = dialog->id;
    ASSERT_TRUE(PressKeys(dialog->id, "ctrl+a"));
    ASSERT_TRUE(TypeText(dialog->id, path));
    ASSERT_TRUE(PressKeys(dialog->id, "Return"));
  }

  // The dialog asks before a file is overwritten: the operator confirms.
  void ConfirmOverwrite(const std::string& dialogId) {
    std::string question;
    ASSERT_TRUE(PollUntil(15000, [&] {
      const std::string active = ActiveWindow();
      if (active.empty() || active == dialogId || active == session_->MainWindow())
        return false;
      question = active;
      return true;
    })) << "no overwrite question";
    session_->Photograph(question, "overwrite-question", "the save dialog's overwrite question");
    ASSERT_TRUE(PressKeys(question, "Return"));
  }

  void CloseProgram() {
    EXPECT_EQ(session_->Close(), std::optional<int>(0));
    const std::vector<SessionRecord> records = AllRecords();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().text, "Выход из программы") << Dump(records);
  }

  testsupport::FbTestServer server_;
  std::string scratch_;
  std::string root_;
  std::unique_ptr<OperatorSession> session_;
};

TEST_F(LinuxOperator, CleanDatabaseCheckedTwiceAnsweringCancelThenOk) {
  testsupport::CreateTestDatabase(server_, Database(), 500, false);
  StartProgram();

  ASSERT_TRUE(session_->ClickCheck());
  ExpectBox("Повреждений не обнаружено!", "Escape");
  // Cancel ends the run after the validation: exactly four records.
  EXPECT_EQ(Texts(RunRecords()), (std::vector<std::string>{
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
    EXPECT_EQ(run[i].tag, "[событ]") << run[i].text;
  EXPECT_FALSE(fs::exists(root_ + "/DB/VELMAR.db_backup")) << "the trial backup was left";
  EXPECT_FALSE(fs::exists(root_ + "/TEMP/DBRepair/FireBirdFixLog.log"));

  CloseProgram();
  EXPECT_EQ(session_->Captions(),
            (std::vector<std::string>{"Повреждений не обнаружено!", "Повреждений не обнаружено!",
                                      "Информация"}));
  // The run opened with its blank line, and the field's name was remembered on closing.
  const std::string log = ReadSessionLog(SessionLog());
  EXPECT_EQ(log.rfind("\n", 0) == 0 || log.rfind("\r\n", 0) == 0, true) << log;
  std::string prefs = FileBytes(scratch_ + "/home/.fltk/Norwin/Velmar/VelmarDBRepair.prefs");
  // Long values go on over lines that start with '+'.
  for (std::size_t at; (at = prefs.find("\n+")) != std::string::npos;)
    prefs.erase(at, 2);
  EXPECT_NE(prefs.find(Database()), std::string::npos) << prefs;
}

TEST_F(LinuxOperator, DamagedDatabaseCheckedRepairedAndCheckedCleanAgain) {
  testsupport::CreateTestDatabase(server_, Database(), 3000, false);
  testsupport::Damage(server_, Database(), testsupport::DamageKind::IndexGarbage);
  StartProgram();

  ASSERT_TRUE(session_->ClickCheck());
  ExpectBox("Внимание! База повреждена!", "Return");
  ExpectBox("Информация", "Return");
  {
    const std::vector<SessionRecord> records = RunRecords();
    const int damage = FindRecord(records, "Ошибка gfix: ");
    ASSERT_GE(damage, 0) << Dump(records);
    EXPECT_EQ(records[std::size_t(damage)].tag, "[ошиб]");
    EXPECT_NE(records[std::size_t(damage)].text.find("При проверке выявлены следующие ошибки:"),
              std::string::npos);
    EXPECT_NE(FindRecord(records, "Резервная копия сделана. Ошибок нет!"), -1) << Dump(records);
    EXPECT_EQ(records.back().text, "Проверка базы данных завершена!");
  }

  const std::string safety = scratch_ + "/copies/VELMAR_SAFE.FDB";
  fs::create_directories(scratch_ + "/copies");
  const std::string damaged = FileBytes(Database());
  const auto before = os::IdentityOf(Database());
  ASSERT_TRUE(session_->ShowRepairTab());
  ASSERT_TRUE(session_->ClickRepair());
  SaveSafetyCopyAs(safety);
  ExpectBox(*scenarios::SuccessBox().caption, "Return");

  const std::vector<SessionRecord> all = RunRecords();
  const int start = FindRecord(all, "Начало ремонта базы данных: ");
  ASSERT_GE(start, 0) << Dump(all);
  const scenarios::RepairFiles files{Database(), safety};
  // Garbage in an index costs no rows: the figures, and no report box. The re-check's own
  // record comes only when the mend left nothing to find.
  EXPECT_TRUE(RecordsAre(
      Texts({all.begin() + start, all.end()}),
      scenarios::SuccessRecords(files, scenarios::RowCounting::Counted,
                                scenarios::Recheck::MayFindDamage,
                                {"Таблица CUSTOMERS: записей до ремонта 3000, после ремонта 3000",
                                 "Таблица DOCUMENTS: записей до ремонта 301, после ремонта 301",
                                 "Таблица SALES: записей до ремонта 3000, после ремонта 3000"}),
      {scenarios::RecheckDone()}))
      << Dump(all);
  const std::string restored = files.Restored();
  EXPECT_EQ(FileBytes(safety), damaged) << "the safety copy is not the damaged file";
  EXPECT_NE(os::IdentityOf(Database()), before) << "the database file was not replaced";
  EXPECT_FALSE(fs::exists(restored));
  EXPECT_FALSE(fs::exists(root_ + "/DB/VELMAR.db_backup1"));
  EXPECT_FALSE(fs::exists(root_ + "/TEMP/DBRepair/FireBirdFixLog.log"));

  // The rebuilt file passes the program's own check.
  ASSERT_TRUE(session_->ShowCheckTab());
  ASSERT_TRUE(session_->ClickCheck());
  ExpectBox("Повреждений не обнаружено!", "Return");
  ExpectBox("Информация", "Return");
  EXPECT_EQ(RunRecords().back().text, "Проверка базы данных завершена!");
  EXPECT_EQ(testsupport::CountRows(server_, Database(), "CUSTOMERS"), 3000);

  CloseProgram();
  EXPECT_EQ(session_->Captions(),
            (std::vector<std::string>{"Внимание! База повреждена!", "Информация", kSaveDialogTitle,
                                      "Информация", "Повреждений не обнаружено!", "Информация"}));
  EXPECT_GE(session_->ProgressWindowsSeen(), 1);
}

// Two copies share the work directory and the files beside the database: while the first
// checks, the second starts neither a check nor a repair and changes nothing.
TEST_F(LinuxOperator, ASecondCopyRefusesBothButtonsWhileTheFirstChecks) {
  testsupport::CreateTestDatabase(server_, Database(), 500, false);
  StartProgram();
  // The first copy stays inside its check while its question waits for the operator.
  ASSERT_TRUE(session_->ClickCheck());
  std::optional<ScreenWindow> question = session_->NextBox();
  ASSERT_TRUE(question);
  ASSERT_EQ(question->title, "Повреждений не обнаружено!");

  const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  OperatorSession second(name + "-second", {"KORA_ROOT=" + root_, "HOME=" + scratch_ + "/home",
                                            "XDG_CONFIG_HOME=" + scratch_ + "/home/.config",
                                            "LANG=C.UTF-8", "LC_ALL=C.UTF-8"});
  ASSERT_TRUE(second.Start(Env("VELMAR_BIN_DIR") + "/VelmarDBRepair"));
  const auto refused = [&] {
    std::optional<ScreenWindow> box = second.NextBox();
    ASSERT_TRUE(box) << "the second copy said nothing";
    EXPECT_EQ(box->title, "Внимание!");
    ASSERT_TRUE(second.Answer(*box, "Return"));
  };
  ASSERT_TRUE(second.ClickCheck());
  refused();
  ASSERT_TRUE(second.ShowRepairTab());
  ASSERT_TRUE(second.ClickRepair());
  refused();
  WaitForQuietLog();
  // The second copy wrote only its start.
  EXPECT_EQ(AllRecords().back().text, "Программа запущена") << Dump(AllRecords());

  ASSERT_TRUE(session_->Answer(*question, "Escape"));
  WaitForQuietLog();
  EXPECT_EQ(RunRecords().back().text, "Проверка базы данных завершена!");
  // Once the first copy's check has ended, the second may check.
  ASSERT_TRUE(second.ShowCheckTab());
  ASSERT_TRUE(second.ClickCheck());
  std::optional<ScreenWindow> own = second.NextBox();
  ASSERT_TRUE(own);
  EXPECT_EQ(own->title, "Повреждений не обнаружено!");
  ASSERT_TRUE(second.Answer(*own, "Escape"));
  EXPECT_EQ(second.Close(), std::optional<int>(0));
  CloseProgram();
}

TEST_F(LinuxOperator, SafetyCopyOntoTheDatabaseItselfIsRefused) {
  // A database away from the default path, named by typing it into the file field.
  const std::string db = scratch_ + "/shop/SHOP.FDB";
  fs::create_directories(scratch_ + "/shop");
  testsupport::CreateTestDatabase(server_, db, 200, false);
  const std::string bytes = FileBytes(db);
  StartProgram();
  ASSERT_TRUE(session_->TypeFileName(db));

  ASSERT_TRUE(session_->ShowRepairTab());
  ASSERT_TRUE(session_->ClickRepair());
  std::string dialog;
  SaveSafetyCopyAs(db, &dialog);
  ConfirmOverwrite(dialog);
  ExpectBox("Ошибка", "Return");

  EXPECT_EQ(Texts(RunRecords()), scenarios::RefusedRecords(db, scenarios::SelfCopyText()));
  EXPECT_EQ(FileBytes(db), bytes) << "the database was touched";
  std::vector<std::string> beside;
  for (const auto& entry : fs::directory_iterator(scratch_ + "/shop"))
    beside.push_back(entry.path().filename().string());
  EXPECT_EQ(beside, std::vector<std::string>{"SHOP.FDB"});
  EXPECT_FALSE(fs::exists(root_ + "/Backup/FireBirdBase/SHOP_BACKUP.FDB"));

  CloseProgram();
  EXPECT_EQ(session_->Captions(), (std::vector<std::string>{kSaveDialogTitle, "Ошибка"}));
  // The typed name is the one remembered for the next start.
  std::string prefs = FileBytes(scratch_ + "/home/.fltk/Norwin/Velmar/VelmarDBRepair.prefs");
  for (std::size_t at; (at = prefs.find("\n+")) != std::string::npos;)
    prefs.erase(at, 2);
  EXPECT_NE(prefs.find("FilenameEdit1_FileName:" + db + "\n"), std::string::npos) << prefs;
}

TEST_F(LinuxOperator, EscapeDuringTheRepairsBackupStopsTheRepair) {
  testsupport::CreateTestDatabase(server_, Database(), 3000, true);
  // The server backs the database up in a moment: gbak's backup waits for the test's word, so
  // the operator's Esc always lands while it runs. Afterwards it runs to its own end.
  const std::string release = scratch_ + "/release-backup";
  const std::string gbak = root_ + "/FIREBIRD/bin/gbak";
  fs::remove(gbak);
  // (It gives up waiting when the test's folder goes, should the test stop early.)
  std::ofstream(gbak) << "#!/bin/sh\nif [ \"$1\" = -b ]; then\n  while [ ! -e '" << release
                      << "' ] && [ -d '" << scratch_
                      << "' ]; do sleep 0.05; done\nfi\nexec /usr/bin/gbak \"$@\"\n";
  fs::permissions(gbak, fs::perms::owner_all);
  StartProgram();

  ASSERT_TRUE(session_->ShowRepairTab());
  ASSERT_TRUE(session_->ClickRepair());
  std::optional<ScreenWindow> dialog = session_->NextBox();
  ASSERT_TRUE(dialog);
  ASSERT_EQ(dialog->title, kSaveDialogTitle);
  // The offered name in the offered folder.
  ASSERT_TRUE(PressKeys(dialog->id, "Return"));
  const std::string safety = root_ + "/Backup/FireBirdBase/VELMAR_BACKUP.FDB";

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
  std::vector<std::string> texts = Texts(records);
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[0], "Начало ремонта базы данных: " + Database());
  EXPECT_EQ(texts[1], "Сделана копия файла базы данных: " + safety);
  EXPECT_EQ(texts[texts.size() - 2], "Будет сделана резервная копия базы данных") << Dump(records);
  EXPECT_EQ(texts.back(), "Ошибка функции ремонта базы данных: Прервано пользователем!");
  EXPECT_EQ(FindRecord(records, "Создание резервной копии успешно завершено"), -1);

  // The cancelled gbak runs to its own end; then the files tell what the cancel left.
  EXPECT_TRUE(ToolRunsOn(root_)) << "the cancel stopped the tool";
  std::ofstream(release) << "";
  ASSERT_TRUE(PollUntil(60000, [&] { return !ToolRunsOn(root_); }));
  EXPECT_TRUE(fs::exists(Database()));
  EXPECT_TRUE(fs::exists(safety));
  EXPECT_EQ(fs::file_size(safety), fs::file_size(Database()));
  EXPECT_FALSE(fs::exists(root_ + "/DB/VELMAR.db_restored1"));
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
