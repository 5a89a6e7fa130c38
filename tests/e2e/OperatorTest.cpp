// The scenarios the operator plays on both platforms, with what each must leave written once:
// the Linux runner plays them against the server's own tools with its client library, the
// Wine runner without the client library, so that the trial backup fails and no row is
// counted there.
#include <algorithm>

#include "os/Files.h"
#include "tests/e2e/OperatorFixture.h"
#include "tests/support/LogRecords.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"

namespace e2e {
namespace {

using scenarios::Platform;
using testsupport::FileBytes;

// The trial backup's box after a check: its success, or its failure without the client
// library.
std::string TrialBackupCaption() {
  return Operator::HasClientLibrary() ? "Информация" : "Внимание!";
}

std::vector<DamagedDesk> DesksOn(Platform platform) {
  using testsupport::DamageKind;
  static const std::vector<DamagedDesk> table = {
      // Spoilt records: the Russian report names them.
      {"RecordGarbage",
       DamageKind::RecordGarbage,
       "Кол-во ошибок в записях",
       {},
       {Platform::Windows}},
      // Garbage in an index costs no rows: the figures, and no report box.
      {"IndexGarbage",
       DamageKind::IndexGarbage,
       "",
       {"Таблица CUSTOMERS: записей до ремонта 3000, после ремонта 3000",
        "Таблица DOCUMENTS: записей до ремонта 301, после ремонта 301",
        "Таблица SALES: записей до ремонта 3000, после ремонта 3000"},
       {Platform::Linux}},
  };
  std::vector<DamagedDesk> on;
  std::ranges::copy_if(table, std::back_inserter(on), [&](const DamagedDesk& desk) {
    return std::ranges::find(desk.platforms, platform) != desk.platforms.end();
  });
  return on;
}

TEST_P(Operator, DamagedDatabaseCheckedRepairedAndCheckedCleanAgain) {
  const DamagedDesk& desk = GetParam();
  constexpr int kRows = 3000;
  InstallSuite();
  MakeDatabase(kRows, false, desk.damage);
  StartProgram();

  ASSERT_TRUE(session_->ClickCheck());
  // The server's gfix found the damage; the program put its report in Russian.
  if (const auto text = ExpectBox("Внимание! База повреждена!", "Return")) {
    EXPECT_NE(text->find("При проверке выявлены следующие ошибки:"), std::string::npos) << *text;
    EXPECT_NE(text->find(desk.damageWords), std::string::npos) << *text;
    EXPECT_EQ(text->find("Summary of validation errors"), std::string::npos) << *text;
    EXPECT_NE(text->find(InSuite("FIREBIRD/firebird.log")), std::string::npos) << *text;
  }
  if (const auto text = ExpectBox(TrialBackupCaption(), "Return"); text && !HasClientLibrary()) {
    // Without the client library the trial backup fails and says where to look.
    EXPECT_NE(text->find("Резервную копию сделать не удалось."), std::string::npos) << *text;
    EXPECT_NE(text->find("файле: " + SessionLog()), std::string::npos) << *text;
  }
  {
    const std::vector<SessionRecord> records = RunRecords();
    ASSERT_GE(records.size(), 6u) << Dump(records);
    EXPECT_EQ(records[0].text, "Начало проверки базы данных " + Database());
    EXPECT_EQ(records[1].text, "Начало проверки gfix");
    EXPECT_EQ(records[2].text.rfind("Ошибка gfix: ", 0), 0u) << Dump(records);
    EXPECT_EQ(records[2].tag, " [ошиб]");
    EXPECT_NE(records[2].text.find("При проверке выявлены следующие ошибки:"), std::string::npos);
    EXPECT_NE(records[2].text.find(desk.damageWords), std::string::npos) << Dump(records);
    if (HasClientLibrary()) {
      EXPECT_NE(FindRecord(records, "Резервная копия сделана. Ошибок нет!"), -1) << Dump(records);
    } else {
      // Naming the damaged tables needs the client library as well.
      EXPECT_EQ(records[3].text.rfind("Не удалось определить поврежденные таблицы: ", 0), 0u)
          << Dump(records);
      EXPECT_NE(records[3].text.find("fbclient.dll"), std::string::npos) << Dump(records);
      EXPECT_EQ(records[4].text, "Начало создания резервной копии");
      EXPECT_NE(FindRecord(records, "Ошибка при создании резервной копии: "), -1) << Dump(records);
    }
    EXPECT_EQ(records.back().text, "Проверка базы данных завершена!");
    EXPECT_FALSE(os::FileExists(InSuite("DB/VELMAR.db_backup")));
    EXPECT_FALSE(os::FileExists(InSuite("TEMP/DBRepair/FireBirdFixLog.log")));
  }

  // The check's attachments have written to the file: what the repair starts from.
  const std::string damaged = FileBytes(Database());
  const auto before = os::IdentityOf(Database());
  ASSERT_TRUE(session_->ShowRepairTab());
  ASSERT_TRUE(session_->ClickRepair());
  const std::string safety = ChooseSafetyCopy();
  ExpectBoxSaying(*scenarios::SuccessBox().caption, *scenarios::SuccessBox().text);
  std::vector<std::string> captions = {"Внимание! База повреждена!", TrialBackupCaption(),
                                       kSaveDialogTitle, "Информация"};
  if (!HasClientLibrary()) {
    ExpectBoxSaying(*scenarios::UncountedBox().caption, *scenarios::UncountedBox().text);
    captions.push_back(*scenarios::UncountedBox().caption);
  }

  const std::vector<SessionRecord> all = RunRecords();
  const int start = FindRecord(all, "Начало ремонта базы данных: ");
  ASSERT_GE(start, 0) << Dump(all);
  std::vector<std::string> texts = TextsOf({all.begin() + start, all.end()});
  ASSERT_GE(texts.size(), 2u) << Dump(all);
  // The dialog may spell the folder as the file system has it, in other letters.
  const std::string copied = "Сделана копия файла базы данных: " + safety;
  EXPECT_TRUE(testsupport::SamePathText(texts[1], copied)) << texts[1];
  texts[1] = copied;
  const scenarios::RepairFiles files{Database(), safety};
  // The re-check's own record comes only when the mend left nothing to find.
  const auto counting = HasClientLibrary() ? scenarios::RowCounting::Counted
                                           : scenarios::RowCounting::NoClientLibrary;
  EXPECT_TRUE(testsupport::RecordsAre(
      texts,
      desk.figures.empty()
          ? scenarios::SuccessRecords(files, counting, scenarios::Recheck::MayFindDamage)
          : scenarios::SuccessRecords(files, counting, scenarios::Recheck::MayFindDamage,
                                      desk.figures),
      {scenarios::RecheckDone()}))
      << Dump(all);
  EXPECT_TRUE(FileBytes(safety) == damaged) << "the safety copy is not the damaged file";
  EXPECT_NE(os::IdentityOf(Database()), before) << "the database file was not replaced";
  EXPECT_FALSE(os::FileExists(files.Restored()));
  EXPECT_FALSE(os::FileExists(files.Backup()));
  EXPECT_FALSE(os::FileExists(InSuite("TEMP/DBRepair/FireBirdFixLog.log")));
  // The rebuilt file validates clean with the server's own gfix and keeps the untouched table.
  const testsupport::ToolResult validation = testsupport::ValidateFull(server_, Database());
  EXPECT_TRUE(testsupport::IsBlank(validation.out + validation.err))
      << "the replaced file does not validate clean:\n"
      << validation.out << validation.err;
  EXPECT_EQ(testsupport::CountRows(server_, Database(), "CUSTOMERS"), kRows);

  // It passes the program's own check too.
  ASSERT_TRUE(session_->ShowCheckTab());
  ASSERT_TRUE(session_->ClickCheck());
  ExpectBox("Повреждений не обнаружено!", "Return");
  ExpectBox(TrialBackupCaption(), "Return");
  EXPECT_EQ(RunRecords().back().text, "Проверка базы данных завершена!");
  captions.insert(captions.end(), {"Повреждений не обнаружено!", TrialBackupCaption()});

  CloseProgram();
  EXPECT_EQ(session_->Captions(), captions);
  EXPECT_GE(session_->ProgressWindowsSeen(), 1);
}

INSTANTIATE_TEST_SUITE_P(Damaged, Operator, ::testing::ValuesIn(DesksOn(Operator::ThisPlatform())),
                         [](const auto& info) { return std::string(info.param.name); });

// Two copies share the work folder and the files beside the database: while the first checks,
// the second starts neither a check nor a repair and changes nothing.
TEST_F(Operator, ASecondCopyRefusesBothButtonsWhileTheFirstChecks) {
  InstallSuite();
  MakeDatabase(500, false);
  StartProgram();
  // The first copy stays inside its check while its question waits for the operator.
  ASSERT_TRUE(session_->ClickCheck());
  std::optional<ScreenWindow> question = session_->NextBox();
  ASSERT_TRUE(question);
  ASSERT_EQ(question->title, "Повреждений не обнаружено!");

  std::unique_ptr<OperatorSession> second = NewSession("-second");
  ASSERT_TRUE(second->Start(ProgramPath()));
  const auto refused = [&] {
    std::optional<ScreenWindow> box = second->NextBox();
    ASSERT_TRUE(box) << "the second copy said nothing";
    EXPECT_EQ(box->title, "Внимание!");
    const std::optional<std::string> text = MessageBoxText(box->title);
    if (text || ThisPlatform() == Platform::Windows) {
      EXPECT_EQ(text,
                "Проверка или ремонт базы данных уже выполняется другим экземпляром "
                "программы.\r\nДождитесь его завершения и повторите попытку.");
    }
    ASSERT_TRUE(second->Answer(*box, "Return"));
  };
  ASSERT_TRUE(second->ClickCheck());
  refused();
  ASSERT_TRUE(second->ShowRepairTab());
  ASSERT_TRUE(second->ClickRepair());
  refused();
  WaitForQuietLog();
  // The second copy wrote only its start, and the validation ran once.
  const std::vector<std::string> texts = TextsOf(AllRecords());
  EXPECT_EQ(texts.back(), "Программа запущена") << Dump(AllRecords());
  EXPECT_EQ(std::ranges::count(texts, "Начало проверки gfix"), 1);

  ASSERT_TRUE(session_->Answer(*question, "Escape"));
  WaitForQuietLog();
  EXPECT_EQ(RunRecords().back().text, "Проверка базы данных завершена!");
  // Once the first copy's check has ended, the second may check.
  ASSERT_TRUE(second->ShowCheckTab());
  ASSERT_TRUE(second->ClickCheck());
  std::optional<ScreenWindow> own = second->NextBox();
  ASSERT_TRUE(own);
  EXPECT_EQ(own->title, "Повреждений не обнаружено!");
  ASSERT_TRUE(second->Answer(*own, "Escape"));
  EXPECT_EQ(second->Close(), std::optional<int>(0));
  CloseProgram();
}

}  // namespace
}  // namespace e2e
