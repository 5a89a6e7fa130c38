// The endings of a repair that are not the operator's choice: a database file that will not
// go, a restored file that will not take its name, and the operator's Esc at each tool run.
// Whatever happens, the operator is never left without both the database and the rebuilt file.
#include <gtest/gtest.h>

#include "os/Files.h"
#include "progress/ProgressViewer.h"
#include "server/FixedPaths.h"
#include "tests/repair/RepairSandbox.h"
#include "tests/repair/RepairTestCommon.h"
#include "tests/support/TestDatabase.h"

using namespace repairtest;

namespace {

class RebuildEnding : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    sandbox_ = std::make_unique<RepairSandbox>(server_, "ending-" + name);
    testsupport::CreateTestDatabase(server_, Db(), 300, /*blobs=*/false);
    identity_ = os::IdentityOf(Db());
  }
  void TearDown() override {
    // A cancelled tool runs on; let it finish before its folders go.
    EXPECT_TRUE(WaitForToolsOn(sandbox_->DataDir(), 60000));
  }
  std::string Db() const { return sandbox_->Database(); }
  std::string Restored() const { return sandbox_->DataDir() + "/VELMAR.db_restored1"; }
  std::string Backup() const { return sandbox_->DataDir() + "/VELMAR.db_backup1"; }
  std::string Copy() const { return sandbox_->DefaultSafetyCopy(); }

  // Runs gbak for real, then makes `path` undeletable once the restore is done.
  void ProtectAfterRestore(const std::string& path) {
    sandbox_->ReplaceTool("gbak",
                          "/usr/bin/gbak \"$@\"\nstatus=$?\n"
                          "if [ \"$1\" = -c ]; then chattr +i '" +
                              path +
                              "'; fi\n"
                              "exit $status\n");
    sandbox_->ClearProtectionAtEnd(path);
  }

  // The database is at its path untouched by the rebuild, or the rebuilt file is complete
  // beside it and the safety copy exists.
  void ExpectNothingLost() {
    if (Exists(Db()) && os::IdentityOf(Db()) == identity_)
      return;
    ASSERT_TRUE(Exists(Copy())) << "neither the database nor the safety copy is left";
    ASSERT_TRUE(Exists(Restored())) << "the database is gone and no rebuilt file is left";
    SetImmutable(Restored(), false);
    const auto validation = testsupport::ValidateFull(server_, Restored());
    EXPECT_EQ(Blank(validation.err) + Blank(validation.out), "");
  }

  testsupport::FbTestServer server_ = Server();
  std::unique_ptr<RepairSandbox> sandbox_;
  std::optional<os::FileIdentity> identity_;
};

std::vector<std::string> UpToRestoreSuccess(const std::string& db, const std::string& copy,
                                            const std::string& restored) {
  std::vector<std::string> records = RecordsUpToBackup(db, copy);
  records.insert(records.end(),
                 {"Создание резервной копии успешно завершено",
                  "Будет выполнено восстановление базы данных из резервной копии",
                  "Восстановление из резервной копии прошло успешно!", "Таблица CUSTOMERS: *",
                  "Таблица DOCUMENTS: *", "Таблица SALES: *",
                  "Будет выполнена попытка заменить файл \"" + db + "\" на \"" + restored + "\""});
  return records;
}

TEST_F(RebuildEnding, ADatabaseFileThatCannotBeDeletedLeavesTheRebuiltFileForTheOperator) {
  std::string why;
  if (!ImmutableSupported(sandbox_->DataDir(), &why))
    GTEST_SKIP() << why;
  ProtectAfterRestore(Db());
  ScriptedDialogs dialogs;
  dialogs.Save(Copy());
  const auto error = RunRepair(*sandbox_, dialogs);

  const std::string message =
      "Восстановление базы данных завершено! Однако Вам придется\r\n"
      "самостоятельно удалить старый файл \"" +
      Db() +
      "\" и поместить на его\r\n"
      "место новый файл \"" +
      Restored() +
      "\". При этом файл необходимо переименовать!\r\n"
      "В результате имя файла должно быть: " +
      Db();
  ASSERT_TRUE(error) << "the repair reported success";
  EXPECT_EQ(*error, message);
  EXPECT_EQ(os::IdentityOf(Db()), identity_) << "the database file is not in place";
  EXPECT_TRUE(Exists(Restored()));
  EXPECT_FALSE(Exists(Backup()));
  EXPECT_FALSE(Exists(paths::ToolLog()));
  std::vector<std::string> expected = UpToRestoreSuccess(Db(), Copy(), Restored());
  expected.push_back("Ошибка функции ремонта базы данных: " + message);
  EXPECT_TRUE(RecordsAre(sandbox_->Records(), expected, RecheckOutcome()));
  ExpectNothingLost();
}

TEST_F(RebuildEnding, ARestoredFileThatCannotBeRenamedIsLeftCompleteBesideTheSafetyCopy) {
  std::string why;
  if (!ImmutableSupported(sandbox_->DataDir(), &why))
    GTEST_SKIP() << why;
  ProtectAfterRestore(Restored());
  const std::string before = ReadBytes(Db());
  ScriptedDialogs dialogs;
  dialogs.Save(Copy());
  const auto error = RunRepair(*sandbox_, dialogs);

  const std::string message =
      "Восстановление базы данных завершено! Однако Вам придется\r\n"
      "самостоятельно переименовать файл \"" +
      Restored() +
      "\".\r\n"
      "В результате имя файла должно быть: " +
      Db();
  ASSERT_TRUE(error) << "the repair reported success";
  EXPECT_EQ(*error, message);
  EXPECT_FALSE(Exists(Db())) << "the old database file was not deleted";
  EXPECT_TRUE(Exists(Restored()));
  EXPECT_EQ(ReadBytes(Copy()), before);
  EXPECT_FALSE(Exists(Backup()));
  EXPECT_FALSE(Exists(paths::ToolLog()));
  std::vector<std::string> expected = UpToRestoreSuccess(Db(), Copy(), Restored());
  expected.push_back("Файл успешно удален: " + Db());
  expected.push_back("Ошибка функции ремонта базы данных: " + message);
  EXPECT_TRUE(RecordsAre(sandbox_->Records(), expected, RecheckOutcome()));
  ExpectNothingLost();
}

// The operator presses Esc in the progress window with `caption`. The tool named in
// `slowTool` starts a second late for the switch `slowSwitch`, so the Esc always lands while
// it runs.
struct CancelCase {
  const char* name;
  const char* caption;
  const char* slowTool;
  const char* slowSwitch;
  std::vector<std::string> lastRecords;  // after the mend's start
  bool inRebuild = true;                 // the rebuild's clean-up removes the tool log
};

void PrintTo(const CancelCase& c, std::ostream* out) {
  *out << c.name;
}

class CancelDuringTool : public RebuildEnding, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelDuringTool, StopsTheRepairAfterTheCleanUp) {
  const CancelCase& c = GetParam();
  const std::string real = std::string("/usr/bin/") + c.slowTool;
  sandbox_->ReplaceTool(c.slowTool, std::string("if [ \"$1\" = ") + c.slowSwitch +
                                        " ]; then sleep 1; fi\nexec " + real + " \"$@\"\n");
  const std::string caption = c.caption;
  SetViewerCycleHook([caption](TProgressViewer& viewer) {
    if (viewer.GetCaption() == caption)
      viewer.Cancel();
  });
  ScriptedDialogs dialogs;
  dialogs.Save(Copy());
  const auto error = RunRepair(*sandbox_, dialogs);

  ASSERT_TRUE(error) << "the cancel did not stop the repair";
  EXPECT_EQ(*error, "Прервано пользователем!");
  // The mend's own log is not the rebuild's to remove.
  EXPECT_EQ(Exists(paths::ToolLog()), !c.inRebuild) << "the clean-up did not run";
  EXPECT_FALSE(Exists(Backup())) << "the clean-up did not run";
  std::vector<std::string> expected = {"Начало ремонта базы данных: " + Db(),
                                       "Сделана копия файла базы данных: " + Copy(),
                                       "Будет сделана маркировка поврежденных страниц"};
  expected.insert(expected.end(), c.lastRecords.begin(), c.lastRecords.end());
  expected.push_back("Ошибка функции ремонта базы данных: Прервано пользователем!");
  EXPECT_TRUE(RecordsAre(sandbox_->Records(), expected, RecheckOutcome()));
  EXPECT_EQ(os::IdentityOf(Db()), identity_) << "the database file was replaced";
}

const std::vector<std::string> kAfterMend = {
    "Маркировка поврежденных страниц завершена",
    "Будет сделана повторная проверка с помощью gfix",
    "Будет сделана резервная копия базы данных",
};

std::vector<std::string> Plus(std::vector<std::string> head, std::vector<std::string> tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

INSTANTIATE_TEST_SUITE_P(
    Esc, CancelDuringTool,
    ::testing::Values(
        CancelCase{"Mend", "Маркировка поврежденных страниц...", "gfix", "-mend", {}, false},
        CancelCase{"Backup", "Создание резервной копии...", "gbak", "-b", kAfterMend},
        CancelCase{
            "Restore", "Восстановление из резервной копии...", "gbak", "-c",
            Plus(kAfterMend, {"Создание резервной копии успешно завершено",
                              "Будет выполнено восстановление базы данных из резервной копии"})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RebuildEnding, EscDuringTheRecheckDoesNotStopTheRepair) {
  sandbox_->ReplaceTool("gfix",
                        "if [ \"$1\" = -v ]; then sleep 1; fi\nexec /usr/bin/gfix \"$@\"\n");
  SetViewerCycleHook([](TProgressViewer& viewer) {
    if (viewer.GetCaption() == "Выполняется проверка базы данных...")
      viewer.Cancel();
  });
  ScriptedDialogs dialogs;
  dialogs.Save(Copy()).Box(DialogResult::Ok, SuccessBox());
  const auto error = RunRepair(*sandbox_, dialogs);

  ASSERT_FALSE(error) << *error;
  const auto records = sandbox_->Records();
  EXPECT_TRUE(RecordsAre(records, SuccessRecords(Db(), Copy())))
      << "the re-check must end without its closing record";
  EXPECT_NE(os::IdentityOf(Db()), identity_) << "the database file was not replaced";
}

}  // namespace
