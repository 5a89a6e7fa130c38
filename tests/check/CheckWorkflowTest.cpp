// The check behind "Проверить" against the private server, with real damaged databases and
// the operator played by a script.
#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "check/CheckWorkflow.h"
#include "check/RestoreCheck.h"
#include "progress/ProgressViewer.h"
#include "server/FixedPaths.h"
#include "tests/check/CheckSandbox.h"
#include "tests/check/HeldAttachment.h"
#include "tests/support/DamageKit.h"
#include "tests/support/FbTestServer.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/SmallVolume.h"
#include "tests/support/ToolRun.h"

namespace fs = std::filesystem;
using checktest::CheckSandbox;
using checktest::LogRecord;

namespace {

const std::string kErrorTag = " [ошиб]";
const std::string kEventTag = " [событ]";

const std::string kQuestionText =
    "Программа не нашла повреждений в базе данных. Скорее всего база\r\n"
    "данных совершенно нормальная! Для того, чтобы окончательно в этом\r\n"
    "убедиться, предлагается сделать резервную копию базы данных.\r\n"
    "Если при создании резервной копии никаких ошибок не возникнет,\r\n"
    "значит база данных абсолютно нормальная!\r\n"
    "\r\n"
    "Сделать резервную копию базы данных?";

const std::string kCleanFinalText =
    "В ходе создания резервной копии\r\n"
    "повреждений не обнаружилось!";

const std::string kRepairAdviceText =
    "В ходе создания резервной копии повреждений не обнаружилось!\r\n"
    "Однако предыдущая проверка показала наличие ошибок в базе данных.\r\n"
    "Рекомендуется выполнить ремонт базы данных";

std::string DamageTail() {
  return "База повреждена. Более подробная информация о повреждениях находится\r\n"
         "в файле \"" +
         paths::KoraRoot() +
         "/FIREBIRD/firebird.log\". Повреждения могут иметь разную\r\n"
         "степень опасности. Для того, чтобы определить, насколько опасны\r\n"
         "данные повреждения, программа попытается сделать резервную\r\n"
         "копию базы данных. Если при создании резервной копии не будет\r\n"
         "выявлено ошибок, значит повреждения базы незначительные (с базой\r\n"
         "работать можно, однако некоторые записи могут не попадать в отчеты).";
}

std::string ValidationErrorText(const std::string& message) {
  return "В ходе работы процедуры проверки базы данных\r\n"
         "произошла ошибка: \r\n" +
         message +
         "\r\n\r\n"
         "Программа попытается выполнить проверку путем создания\r\n"
         "резервной копии базы данных";
}

std::string BackupFailureHead() {
  return "Была выполнена попытка сделать резервную копию базы данных.\r\n"
         "Резервную копию сделать не удалось. Вероятно, база данных\r\n"
         "повреждена. Дополнительные сведения об ошибке смотрите в\r\n"
         "файле: " +
         paths::KoraRoot() +
         "/LogFiles/VelmarDBRepair.log\r\n"
         "\r\n"
         "Текст ошибки:\r\n";
}

BoxExpectation QuestionBox() {
  return {.caption = "Повреждений не обнаружено!",
          .text = kQuestionText,
          .buttons = DialogButtons::OkCancel,
          .icon = DialogIcon::Information,
          .defaultButton = 0};
}

BoxExpectation CleanFinalBox() {
  return {.caption = "Информация",
          .text = kCleanFinalText,
          .buttons = DialogButtons::Ok,
          .icon = DialogIcon::Information};
}

BoxExpectation RepairAdviceBox() {
  return {.caption = "Информация",
          .text = kRepairAdviceText,
          .buttons = DialogButtons::Ok,
          .icon = DialogIcon::Information};
}

BoxExpectation DamageBox() {
  return {.caption = "Внимание! База повреждена!",
          .buttons = DialogButtons::Ok,
          .icon = DialogIcon::Warning};
}

BoxExpectation ValidationErrorBox(const std::string& message) {
  return {.caption = "Ошибка",
          .text = ValidationErrorText(message),
          .buttons = DialogButtons::Ok,
          .icon = DialogIcon::Error};
}

// The offer to check the database without closing the programs that have it open.
BoxExpectation InUseOfferBox() {
  return {.caption = "База данных используется",
          .textContains = "Проверить базу данных, не закрывая программ?",
          .buttons = DialogButtons::YesNo,
          .icon = DialogIcon::Information,
          .defaultButton = 1};
}

BoxExpectation BackupFailureBox() {
  return {.caption = "Внимание!",
          .textContains = BackupFailureHead() + "СозданиеРезервнойКопииБД -> ",
          .buttons = DialogButtons::Ok,
          .icon = DialogIcon::Error};
}

std::string BackupAnnouncement(const std::string& database, const std::string& backup) {
  return "Будет создана резервная копия \"" + backup + "\" базы данных \"" + database +
         "\" (127.0.0.1)";
}

std::vector<std::string> Texts(const std::vector<LogRecord>& records) {
  std::vector<std::string> texts;
  for (const LogRecord& record : records)
    texts.push_back(record.text);
  return texts;
}

const LogRecord* FindRecord(const std::vector<LogRecord>& records, const std::string& start) {
  for (const LogRecord& record : records) {
    if (record.text.rfind(start, 0) == 0)
      return &record;
  }
  return nullptr;
}

// Presses Esc, once, in the first progress window with this caption, then runs `afterwards`.
void CancelViewerCaptioned(const std::string& caption, std::function<void()> afterwards = {}) {
  auto given = std::make_shared<std::atomic<bool>>(false);
  SetViewerCycleHook([caption, given, afterwards](TProgressViewer& viewer) {
    if (viewer.GetCaption() == caption && !given->exchange(true)) {
      viewer.Cancel();
      if (afterwards)
        afterwards();
    }
  });
}

// Holds the private server still (SIGSTOP) until Resume, so that a step of the test is sure
// to come before the server's next answer whatever the machine's speed.
class ServerHold {
 public:
  explicit ServerHold(const testsupport::FbTestServer& server) {
    std::ifstream(server.dir + "/pid") >> pid_;
  }
  ~ServerHold() { Resume(); }
  void Stop() {
    ASSERT_GT(pid_, 0);
    ASSERT_EQ(kill(pid_, SIGSTOP), 0);
    stopped_ = true;
  }
  void Resume() {
    if (stopped_.exchange(false))
      kill(pid_, SIGCONT);
  }

 private:
  pid_t pid_ = 0;
  std::atomic<bool> stopped_{false};
};

// Before main, while the process has a single thread: the small volumes below must be the
// server's too.
const bool kSharesServerMounts = testsupport::JoinServerMounts();

class CheckWorkflowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto found = testsupport::FbTestServer::FromEnvironment();
    ASSERT_TRUE(found) << "the private Firebird server is not running";
    server_ = *found;
    const std::string name =
        std::string("check-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    sandbox_.emplace(server_, name);
    small_ = checktest::TemplateDatabase(server_, "check-small", 2000, true);
  }

  void TearDown() override {
    if (sandbox_) {
      // Whatever happened, the trial backup must not leave its file behind.
      EXPECT_TRUE(checktest::FilesEndingWith(sandbox_->DataDir(), ".db_backup").empty());
    }
    sandbox_.reset();
  }

  // A copy of the small template named `fileName` in the test's data folder.
  std::string CleanCopy(const std::string& fileName) {
    const std::string path = sandbox_->DataDir() + "/" + fileName;
    checktest::CopyDatabase(small_, path);
    return path;
  }

  std::string DamagedCopy(const std::string& fileName, testsupport::DamageKind kind) {
    const std::string path = CleanCopy(fileName);
    testsupport::Damage(server_, path, kind);
    return path;
  }

  void RunCheck(ScriptedDialogs& dialogs, const std::string& database) {
    WorkflowContext context{dialogs, [database] { return database; }};
    CheckDatabase(context);
  }

  testsupport::FbTestServer server_;
  std::optional<CheckSandbox> sandbox_;
  std::string small_;
};

TEST_F(CheckWorkflowTest, MissingDatabaseFileFailsBeforeAnythingIsLogged) {
  ScriptedDialogs dialogs;
  const std::string missing = sandbox_->DataDir() + "/NOPE.FDB";
  try {
    RunCheck(dialogs, missing);
    FAIL() << "the check ran without a database file";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.ClassName(), "Exception");
    EXPECT_EQ(e.Message(), "Указанная база данных не найдена на этом компьютере!");
  }
  EXPECT_TRUE(dialogs.Boxes().empty());
  EXPECT_TRUE(sandbox_->Records().empty());
}

TEST_F(CheckWorkflowTest, CleanDatabaseAndCancelWritesExactlyFourRecords) {
  const std::string db = CleanCopy("VELMAR.FDB");
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Cancel, QuestionBox());
  RunCheck(dialogs, db);

  const auto records = sandbox_->Records();
  EXPECT_EQ(Texts(records), (std::vector<std::string>{
                                "Начало проверки базы данных " + db,
                                "Начало проверки gfix",
                                "Проверка gfix завершена. Повреждений не обнаружено.",
                                "Проверка базы данных завершена!",
                            }));
  for (const LogRecord& record : records)
    EXPECT_EQ(record.tag, "") << record.text;
  EXPECT_EQ(dialogs.Boxes().size(), 1u);
}

TEST_F(CheckWorkflowTest, CleanDatabaseAndOkBacksUpAndReportsNoDamage) {
  const std::string db = CleanCopy("VELMAR.FDB");
  const std::string backup = sandbox_->DataDir() + "/VELMAR.db_backup";
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Ok, QuestionBox()).Box(DialogResult::Ok, CleanFinalBox());
  RunCheck(dialogs, db);

  const auto records = sandbox_->Records();
  EXPECT_EQ(Texts(records), (std::vector<std::string>{
                                "Начало проверки базы данных " + db,
                                "Начало проверки gfix",
                                "Проверка gfix завершена. Повреждений не обнаружено.",
                                "Начало создания резервной копии",
                                BackupAnnouncement(db, backup),
                                "Создание резервной копии завершено",
                                "Резервная копия сделана. Ошибок нет!",
                                "Начало проверочного восстановления из резервной копии",
                                "Проверочное восстановление прошло успешно. Ошибок нет!",
                                "Проверка базы данных завершена!",
                            }));
  ASSERT_EQ(records.size(), 10u);
  EXPECT_EQ(records[4].tag, kEventTag);
  EXPECT_EQ(records[5].tag, kEventTag);
  EXPECT_EQ(records[6].tag, "");
  EXPECT_FALSE(fs::exists(backup));
  EXPECT_FALSE(fs::exists(RestoreCheckFile()));
}

// The backup reads every record, yet the database does not come back from it: validation
// finds nothing wrong with a duplicate key; after the mend, rows referring to lost ones fail
// the same way.
class UnrestorableBackupTest : public CheckWorkflowTest,
                               public ::testing::WithParamInterface<testsupport::DamageKind> {};

TEST_P(UnrestorableBackupTest, IsDamageShownWithTheRestoresErrors) {
  const std::string db = DamagedCopy("VELMAR.FDB", GetParam());
  const bool mended = GetParam() == testsupport::DamageKind::LostReferencedRows;
  if (mended) {
    const auto mend = testsupport::RunTool(
        testsupport::GfixPath(),
        {"-mend", "-user", "SYSDBA", "-pass", server_.password, server_.Address(db)});
    ASSERT_EQ(mend.exitCode, 0) << mend.err;
  }
  ScriptedDialogs dialogs;
  if (mended)
    dialogs.Box(DialogResult::Ok, DamageBox());
  else
    dialogs.Box(DialogResult::Ok, QuestionBox());
  dialogs.Box(DialogResult::Ok,
              {.caption = "Внимание!",
               .textContains = "Восстановить базу данных не удалось: из резервной копии этой базы",
               .buttons = DialogButtons::Ok,
               .icon = DialogIcon::Error});
  RunCheck(dialogs, db);

  const auto boxes = dialogs.Boxes();
  ASSERT_EQ(boxes.size(), 2u) << dialogs.Transcript();
  // The server names a duplicate as a violation or as an index it cannot keep inactive.
  const std::string key = mended ? "FOREIGN KEY" : "integrity";
  EXPECT_NE(boxes[1].text.find("Текст ошибки:\r\n"), std::string::npos) << boxes[1].text;
  EXPECT_NE(boxes[1].text.find(key), std::string::npos) << boxes[1].text;
  const auto records = sandbox_->Records();
  const LogRecord* failed =
      FindRecord(records, "База данных не восстанавливается из резервной копии:");
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(failed->tag, kErrorTag);
  EXPECT_NE(failed->text.find(key), std::string::npos) << failed->text;
  EXPECT_EQ(FindRecord(records, "Проверочное восстановление прошло"), nullptr);
  EXPECT_FALSE(fs::exists(RestoreCheckFile()));
}

INSTANTIATE_TEST_SUITE_P(Keys, UnrestorableBackupTest,
                         ::testing::Values(testsupport::DamageKind::DuplicateKey,
                                           testsupport::DamageKind::LostReferencedRows),
                         [](const auto& info) {
                           std::string name = testsupport::DamageKindName(info.param);
                           std::erase(name, '-');
                           return name;
                         });

TEST_F(CheckWorkflowTest, IndexDamageThatTheBackupReadsThroughAdvisesRepair) {
  const std::string db = DamagedCopy("VELMAR.FDB", testsupport::DamageKind::IndexGarbage);
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Ok, DamageBox()).Box(DialogResult::Ok, RepairAdviceBox());
  RunCheck(dialogs, db);

  const auto boxes = dialogs.Boxes();
  ASSERT_EQ(boxes.size(), 2u) << dialogs.Transcript();
  const std::string& text = boxes[0].text;
  // The report in Russian, ending with a line break, then a blank line and the explanation.
  EXPECT_EQ(text.rfind("При проверке выявлены следующие ошибки:", 0), 0u) << text;
  EXPECT_NE(text.find("Кол-во ошибок на страницах с индексами"), std::string::npos) << text;
  EXPECT_EQ(text.find("Summary of validation errors"), std::string::npos) << text;
  const std::string tail = "\r\n\r\n" + DamageTail();
  ASSERT_GT(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  const std::string report = text.substr(0, text.size() - tail.size());
  EXPECT_EQ(report.substr(report.size() - 2), "\r\n");
  // The full validation only counts; the table by table one names the table.
  EXPECT_NE(report.find("\r\nПовреждены таблицы: SALES (ошибок: "), std::string::npos) << report;

  const auto records = sandbox_->Records();
  const LogRecord* gfixError = FindRecord(records, "Ошибка gfix: ");
  ASSERT_NE(gfixError, nullptr);
  EXPECT_EQ(gfixError->tag, kErrorTag);
  EXPECT_NE(gfixError->text.find("Кол-во ошибок на страницах с индексами"), std::string::npos);
  EXPECT_NE(FindRecord(records, "Резервная копия сделана. Ошибок нет!"), nullptr);
  EXPECT_EQ(FindRecord(records, "Проверка gfix завершена"), nullptr);
  EXPECT_EQ(records.back().text, "Проверка базы данных завершена!");
}

// A full disk and a folder the server may not write stop the trial backup of a sound
// database; the operator reads what to do about them, not that the database is damaged.
TEST_F(CheckWorkflowTest, AFullDiskOrARefusedFolderIsNamedAndNotTakenForDamage) {
  if (!kSharesServerMounts)
    GTEST_SKIP() << "cannot share the server's mounts (not root?)";
  const std::string clean = CleanCopy("VELMAR.FDB");
  const auto size = static_cast<std::uint64_t>(fs::file_size(clean));
  testsupport::SmallVolume volume(sandbox_->DataDir() + "/full", size + 16 * 1024);
  ASSERT_TRUE(volume.Ok());
  const std::string db = volume.Folder() + "/VELMAR.FDB";
  fs::copy_file(clean, db);
  ScriptedDialogs dialogs;
  const std::string head =
      "Была выполнена попытка сделать резервную копию базы данных.\r\n"
      "Резервную копию сделать не удалось, но причина не в повреждении\r\n"
      "базы данных:\r\n";
  dialogs.Box(DialogResult::Ok, QuestionBox())
      .Box(DialogResult::Ok, {.caption = "Внимание!",
                              .textContains = head +
                                              "Не хватает места на диске: сервер базы данных не "
                                              "смог записать файл\r\n\"" +
                                              volume.Folder() + "/VELMAR.db_backup\".\r\n",
                              .icon = DialogIcon::Error});
  RunCheck(dialogs, db);
  EXPECT_EQ(dialogs.Boxes().size(), 2u) << dialogs.Transcript();
  EXPECT_FALSE(fs::exists(volume.Folder() + "/VELMAR.db_backup"));
  EXPECT_EQ(fs::file_size(db), size);

  const std::string locked = sandbox_->DataDir() + "/locked";
  fs::create_directories(locked);
  fs::copy_file(clean, locked + "/VELMAR.FDB");
  if (std::system(("chattr +i '" + locked + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "the file system cannot make a folder immutable";
  ScriptedDialogs refused;
  refused.Box(DialogResult::Ok, QuestionBox())
      .Box(DialogResult::Ok, {.caption = "Внимание!",
                              .textContains = head +
                                              "Сервер базы данных не может создать файл в папке"
                                              "\r\n\"" +
                                              locked + "\".\r\n",
                              .icon = DialogIcon::Error});
  RunCheck(refused, locked + "/VELMAR.FDB");
  std::system(("chattr -i '" + locked + "'").c_str());
  EXPECT_EQ(refused.Boxes().size(), 2u) << refused.Transcript();
}

// A good backup whose file cannot be deleted afterwards keeps its verdict and says where the
// file stayed.
TEST_F(CheckWorkflowTest, AGoodBackupWhoseFileStaysKeepsItsVerdict) {
  const std::string folder = sandbox_->DataDir() + "/locked";
  fs::create_directories(folder);
  const std::string db = folder + "/VELMAR.FDB";
  checktest::CopyDatabase(small_, db);
  const std::string backup = folder + "/VELMAR.db_backup";
  struct Cleanup {
    std::string folder;
    ~Cleanup() {
      SetViewerCycleHook(nullptr);
      WaitForViewerThreads(5000);
      std::system(("chattr -i '" + folder + "' 2>/dev/null").c_str());
      fs::remove_all(folder);
    }
  } cleanup{folder};
  // Once the server has made the file, nobody may delete it any more.
  auto locked = std::make_shared<std::atomic<bool>>(false);
  SetViewerCycleHook([backup, folder, locked](TProgressViewer& viewer) {
    if (viewer.GetCaption() != "Создание резервной копии" || locked->load() || !fs::exists(backup))
      return;
    *locked = std::system(("chattr +i '" + folder + "' 2>/dev/null").c_str()) == 0;
  });
  BoxExpectation noted = CleanFinalBox();
  noted.text = kCleanFinalText +
               "\r\n\r\nФайл резервной копии удалить не удалось (вероятно, он еще\r\n"
               "занят другой программой). Удалите его позже вручную:\r\n" +
               backup;
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Ok, QuestionBox()).Box(DialogResult::Ok, noted);
  RunCheck(dialogs, db);
  if (!locked->load())
    GTEST_SKIP() << "the file system cannot make a folder immutable";
  EXPECT_EQ(dialogs.Boxes().size(), 2u) << dialogs.Transcript();
  EXPECT_NE(FindRecord(sandbox_->Records(), "Резервная копия сделана. Ошибок нет!"), nullptr);
}

class BackupStoppingDamageTest : public CheckWorkflowTest,
                                 public ::testing::WithParamInterface<testsupport::DamageKind> {};

TEST_P(BackupStoppingDamageTest, ShowsDamageThenBackupFailureAndLogsTheOutput) {
  const std::string db = DamagedCopy("VELMAR.FDB", GetParam());
  const std::string backup = sandbox_->DataDir() + "/VELMAR.db_backup";
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Ok, DamageBox()).Box(DialogResult::Ok, BackupFailureBox());
  RunCheck(dialogs, db);

  const auto boxes = dialogs.Boxes();
  ASSERT_EQ(boxes.size(), 2u) << dialogs.Transcript();
  const std::string chained = boxes[1].text.substr(BackupFailureHead().size());
  EXPECT_EQ(chained.rfind("СозданиеРезервнойКопииБД -> ", 0), 0u) << chained;
  EXPECT_EQ(chained.substr(chained.size() - 3), " #>") << chained;
  EXPECT_NE(chained.find(" <# "), std::string::npos) << chained;

  const auto records = sandbox_->Records();
  const std::vector<std::string> texts = Texts(records);
  std::vector<std::string> outline;
  for (const std::string& text : texts)
    outline.push_back(text.substr(0, text.find('\n')));
  const std::string inner =
      chained.substr(std::string("СозданиеРезервнойКопииБД -> ").size(),
                     chained.find(" <# ") - std::string("СозданиеРезервнойКопииБД -> ").size());
  ASSERT_GE(records.size(), 12u);
  EXPECT_EQ(outline[0], "Начало проверки базы данных " + db);
  EXPECT_EQ(outline[1], "Начало проверки gfix");
  EXPECT_EQ(outline[2].rfind("Ошибка gfix: ", 0), 0u);
  // The table by table validation that names the damaged table for the report.
  EXPECT_EQ(outline[3], "Таблица DOCUMENTS: повреждений нет");
  EXPECT_EQ(outline[4], "Таблица CUSTOMERS: повреждений нет");
  EXPECT_EQ(outline[5].rfind("Таблица SALES: повреждена, ошибок: ", 0), 0u) << outline[5];
  EXPECT_EQ(records[5].tag, kErrorTag);
  EXPECT_NE(boxes[0].text.find("Повреждены таблицы: SALES (ошибок: "), std::string::npos)
      << boxes[0].text;
  EXPECT_EQ(outline[6], "Начало создания резервной копии");
  EXPECT_EQ(outline[7], BackupAnnouncement(db, backup));
  EXPECT_EQ(outline[8], "Лог резервирования (предоставлен в целях отладки ошибки):");
  EXPECT_EQ(texts[9],
            "Ошибка создания резервной копии: " + checktest::WithoutCarriageReturns(inner));
  EXPECT_EQ(records[9].tag, kErrorTag);
  EXPECT_EQ(texts[10],
            "Ошибка при создании резервной копии: " + checktest::WithoutCarriageReturns(chained));
  EXPECT_EQ(records[10].tag, "");
  EXPECT_EQ(texts[11], "Проверка базы данных завершена!");

  // The backup's own lines follow their heading, in the order the server sent them.
  const std::string& verbose = texts[8];
  EXPECT_NE(verbose.find("\ngbak:"), std::string::npos) << verbose;
  EXPECT_LT(verbose.find("readied database"), verbose.find("writing data for table")) << verbose;
  EXPECT_FALSE(fs::exists(backup));
}

INSTANTIATE_TEST_SUITE_P(Damage, BackupStoppingDamageTest,
                         ::testing::Values(testsupport::DamageKind::ZeroDataPage,
                                           testsupport::DamageKind::ZeroPointerPage),
                         [](const auto& info) {
                           std::string name = testsupport::DamageKindName(info.param);
                           std::erase(name, '-');
                           return name;
                         });

TEST_F(CheckWorkflowTest, DatabaseInUseIsAnErrorNotDamage) {
  const std::string db = CleanCopy("VELMAR.FDB");
  const std::string inUse =
      "Невозможно выполнить проверку базы данных, т.к. в данный момент база данных "
      "используется другим приложением";
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::No, InUseOfferBox())
      .Box(DialogResult::Ok, ValidationErrorBox(inUse))
      .Box(DialogResult::Ok, CleanFinalBox());
  {
    checktest::HeldAttachment other(server_, db);
    RunCheck(dialogs, db);
  }
  const auto records = sandbox_->Records();
  const LogRecord* gfixError = FindRecord(records, "Ошибка gfix: ");
  ASSERT_NE(gfixError, nullptr);
  EXPECT_EQ(gfixError->text, "Ошибка gfix: " + inUse);
  EXPECT_EQ(gfixError->tag, kErrorTag);
  EXPECT_NE(FindRecord(records, "Резервная копия сделана. Ошибок нет!"), nullptr);
}

TEST_F(CheckWorkflowTest, InUseAndYesNamesTheDamagedTableAndMakesNoBackup) {
  const std::string db = DamagedCopy("VELMAR.FDB", testsupport::DamageKind::ZeroDataPage);
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Yes, InUseOfferBox())
      .Box(DialogResult::Ok,
           {.caption = "Внимание! База повреждена!",
            .textContains = "обнаружила повреждения в таблицах:\r\n    SALES (ошибок: 2)\r\n\r\n",
            .buttons = DialogButtons::Ok,
            .icon = DialogIcon::Warning});
  {
    checktest::HeldAttachment till(server_, db);
    RunCheck(dialogs, db);
  }
  ASSERT_EQ(dialogs.Boxes().size(), 2u) << dialogs.Transcript();
  const std::string verdict = dialogs.Boxes()[1].text;
  EXPECT_EQ(verdict.find("CUSTOMERS"), std::string::npos) << verdict;
  EXPECT_NE(verdict.find("Резервная копия для проверки не создавалась"), std::string::npos);

  const auto records = sandbox_->Records();
  const auto texts = Texts(records);
  ASSERT_EQ(texts.size(), 9u) << ::testing::PrintToString(texts);
  EXPECT_EQ(texts[3], "Начало проверки базы данных без закрытия программ");
  // The server reads the tables in the order they were created.
  EXPECT_EQ(texts[4], "Таблица DOCUMENTS: повреждений нет");
  EXPECT_EQ(texts[5], "Таблица CUSTOMERS: повреждений нет");
  EXPECT_EQ(texts[6].rfind("Таблица SALES: повреждена, ошибок: 2\nError: Page ", 0), 0u)
      << texts[6];
  EXPECT_EQ(records[6].tag, kErrorTag);
  EXPECT_EQ(texts[7], "Проверка без закрытия программ завершена");
  EXPECT_EQ(texts[8], "Проверка базы данных завершена!");
}

TEST_F(CheckWorkflowTest, InUseWithATableHeldByAWriterSaysItCouldNotBeCheckedNotDamaged) {
  const std::string db = CleanCopy("VELMAR.FDB");
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Yes, InUseOfferBox())
      .Box(DialogResult::Ok,
           {.caption = "Внимание!",
            .textContains = "проверены не все таблицы.\r\n\r\nНе удалось проверить таблицы, "
                            "занятые другими программами:\r\n    CUSTOMERS\r\n\r\n",
            .buttons = DialogButtons::Ok,
            .icon = DialogIcon::Warning});
  {
    // A sale the till has not finished: its transaction holds CUSTOMERS for writing.
    checktest::HeldAttachment till(server_, db, "update CUSTOMERS set CITY = CITY where ID < 10;");
    RunCheck(dialogs, db);
  }
  const auto texts = Texts(sandbox_->Records());
  ASSERT_EQ(texts.size(), 9u) << ::testing::PrintToString(texts);
  EXPECT_EQ(texts[4], "Таблица DOCUMENTS: повреждений нет");
  EXPECT_EQ(texts[5], "Таблица CUSTOMERS: занята другими программами, проверить не удалось");
  EXPECT_EQ(texts[6], "Таблица SALES: повреждений нет");
}

TEST_F(CheckWorkflowTest, CancelOfTheCheckWhileInUseLeavesWithTheCancel) {
  const std::string db = CleanCopy("VELMAR.FDB");
  // The server stands still from the operator's Yes until the window has taken the cancel: the
  // validation cannot end before it.
  ServerHold hold(server_);
  CancelViewerCaptioned("Проверка базы данных без закрытия программ...",
                        [&hold] { hold.Resume(); });
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Yes, InUseOfferBox(), [&hold] { hold.Stop(); });
  {
    checktest::HeldAttachment till(server_, db);
    EXPECT_THROW(RunCheck(dialogs, db), EProgressCancelByUser);
  }
  EXPECT_EQ(dialogs.Boxes().size(), 1u) << dialogs.Transcript();
  const auto texts = Texts(sandbox_->Records());
  ASSERT_EQ(texts.size(), 6u) << ::testing::PrintToString(texts);
  EXPECT_EQ(texts[4], "Ошибка проверки без закрытия программ: Прервано пользователем!");
  EXPECT_EQ(texts[5], "Проверка базы данных завершена!");
}

TEST_F(CheckWorkflowTest, CancelledValidationIsAnErrorAndTheBackupStillRuns) {
  // Big enough (about 300 MB) for the validation to outlast, by far, the runner's first 100 ms
  // wait and the opening of the progress window, where the operator's Esc comes from.
  const std::string big = checktest::TemplateDatabase(server_, "check-large", 100000, true);
  const std::string db = sandbox_->DataDir() + "/VELMAR.FDB";
  checktest::CopyDatabase(big, db);
  CancelViewerCaptioned("Выполняется проверка базы данных...");
  ScriptedDialogs dialogs;
  // The cancelled tool runs on to its end; the operator reads the box meanwhile.
  dialogs
      .Box(DialogResult::Ok, ValidationErrorBox("Прервано пользователем!"),
           [db] { EXPECT_TRUE(checktest::WaitForGfixToEnd(db, 120000)); })
      .Box(DialogResult::Ok, CleanFinalBox());
  RunCheck(dialogs, db);

  const auto records = sandbox_->Records();
  const LogRecord* gfixError = FindRecord(records, "Ошибка gfix: ");
  ASSERT_NE(gfixError, nullptr);
  EXPECT_EQ(gfixError->text, "Ошибка gfix: Прервано пользователем!");
  EXPECT_NE(FindRecord(records, "Начало создания резервной копии"), nullptr);
  EXPECT_NE(FindRecord(records, "Резервная копия сделана. Ошибок нет!"), nullptr);
}

TEST_F(CheckWorkflowTest, CancelDuringTheBackupLeavesWithTheChainedCancel) {
  const std::string db = CleanCopy("VELMAR.FDB");
  // The server stands still from the operator's answer until the backup's window has taken
  // the cancel: the backup cannot end before it.
  ServerHold hold(server_);
  CancelViewerCaptioned("Создание резервной копии", [&hold] { hold.Resume(); });
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Ok, QuestionBox(), [&hold] { hold.Stop(); });
  const std::string expected =
      "СозданиеРезервнойКопииБД -> Прервано пользователем! <# EProgressCancelByUser #>";
  try {
    RunCheck(dialogs, db);
    FAIL() << "the cancel did not leave the check";
  } catch (const EProgressCancelByUser& e) {
    EXPECT_EQ(e.Message(), expected);
  }
  EXPECT_EQ(dialogs.Boxes().size(), 1u);

  const auto records = sandbox_->Records();
  const LogRecord* ownError = FindRecord(records, "Ошибка создания резервной копии: ");
  ASSERT_NE(ownError, nullptr);
  EXPECT_EQ(ownError->text, "Ошибка создания резервной копии: Прервано пользователем!");
  EXPECT_EQ(ownError->tag, kErrorTag);
  const LogRecord* stageError = FindRecord(records, "Ошибка при создании резервной копии: ");
  ASSERT_NE(stageError, nullptr);
  EXPECT_EQ(stageError->text, "Ошибка при создании резервной копии: " + expected);
  // A cancel is no failure of the backup: its output is not logged.
  EXPECT_EQ(FindRecord(records, "Лог резервирования"), nullptr);
  EXPECT_EQ(FindRecord(records, "Создание резервной копии завершено"), nullptr);
  EXPECT_EQ(records.back().text, "Проверка базы данных завершена!");
}

TEST_F(CheckWorkflowTest, OldBackupFileIsDeletedFirstAndLogged) {
  const std::string db = CleanCopy("VELMAR.FDB");
  const std::string backup = sandbox_->DataDir() + "/VELMAR.db_backup";
  std::ofstream(backup) << "left over from an earlier run";
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Ok, QuestionBox()).Box(DialogResult::Ok, CleanFinalBox());
  RunCheck(dialogs, db);

  const auto texts = Texts(sandbox_->Records());
  const auto announced = std::find(texts.begin(), texts.end(), BackupAnnouncement(db, backup));
  ASSERT_NE(announced, texts.end());
  ASSERT_NE(announced + 1, texts.end());
  EXPECT_EQ(*(announced + 1), "Удален старый файл резервной копии: " + backup);
  EXPECT_FALSE(fs::exists(backup));
}

TEST_F(CheckWorkflowTest, NameWithoutExtensionGetsTheBackupExtensionAppended) {
  const std::string db = CleanCopy("VELMAR");
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Ok, QuestionBox()).Box(DialogResult::Ok, CleanFinalBox());
  RunCheck(dialogs, db);
  const auto texts = Texts(sandbox_->Records());
  EXPECT_NE(std::find(texts.begin(), texts.end(), BackupAnnouncement(db, db + ".db_backup")),
            texts.end());
}

TEST_F(CheckWorkflowTest, PathsWithSpacesAndCyrillicLetters) {
  const std::string folder = sandbox_->DataDir() + "/База данных кассы";
  fs::create_directories(folder);
  const std::string db = folder + "/Смена 1.fdb";
  checktest::CopyDatabase(small_, db);
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Ok, QuestionBox()).Box(DialogResult::Ok, CleanFinalBox());
  RunCheck(dialogs, db);

  const auto texts = Texts(sandbox_->Records());
  EXPECT_EQ(texts.front(), "Начало проверки базы данных " + db);
  EXPECT_NE(
      std::find(texts.begin(), texts.end(), BackupAnnouncement(db, folder + "/Смена 1.db_backup")),
      texts.end());
  EXPECT_TRUE(checktest::FilesEndingWith(folder, ".db_backup").empty());
}

}  // namespace
