// The endings of a repair that are not the operator's choice: a database file that will not
// go, a restored file that will not take its name, another application attached to the
// database, a rebuild that gbak or the validation condemns, and the operator's Esc at each
// tool run. Whatever happens, the operator is never left without both the database and the
// rebuilt file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>

#include "app/MainWindowView.h"
#include "app/Unit1.h"
#include "os/Files.h"
#include "progress/ProgressViewer.h"
#include "repair/Leftovers.h"
#include "repair/OutOfReach.h"
#include "repair/RebuildDatabase.h"
#include "server/FixedPaths.h"
#include "tests/check/HeldAttachment.h"
#include "tests/repair/RepairSandbox.h"
#include "tests/repair/RepairTestCommon.h"
#include "tests/support/SmallVolume.h"
#include "tests/support/TestDatabase.h"

using namespace repairtest;

namespace {

// Before main, while the process has a single thread: the small volume must be the server's
// too.
const bool kSharesServerMounts = testsupport::JoinServerMounts();

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

  // Makes `path` undeletable right before the replacement: after the validation of the
  // restored file, which the server must be able to open for writing.
  void ProtectBeforeReplacement(const std::string& path) {
    sandbox_->ReplaceTool("gfix",
                          "/usr/bin/gfix \"$@\"\nstatus=$?\n"
                          "case \"$1 $3\" in \"-v \"*.db_restored1) chattr +i '" +
                              path +
                              "';; esac\n"
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

// The old file is deleted only once the rebuilt one has its path; when it cannot be, it stays
// under its work name, and the next start tells the operator.
TEST_F(RebuildEnding, AnOldFileThatCannotBeDeletedStaysBesideTheRebuiltDatabaseAndIsReported) {
  std::string why;
  if (!ImmutableSupported(sandbox_->DataDir(), &why))
    GTEST_SKIP() << why;
  const std::string work = sandbox_->DataDir() + "/VELMAR.db_repair1";
  ProtectBeforeReplacement(work);
  ScriptedDialogs dialogs;
  dialogs.Save(Copy()).Box(DialogResult::Ok, SuccessBox());
  ASSERT_EQ(RunRepair(*sandbox_, dialogs), std::nullopt) << dialogs.Transcript();

  EXPECT_NE(os::IdentityOf(Db()), identity_) << "the database file was not replaced";
  EXPECT_EQ(os::IdentityOf(work), identity_) << "the old file is not under its work name";
  std::vector<std::string> expected = UpToRestoreSuccess(Db(), Copy(), Restored());
  expected.push_back("Файл \"" + Restored() + "\" успешно переименован в \"" + Db() + "\"");
  expected.push_back("Ремонт базы данных успешно завершен!");
  EXPECT_TRUE(RecordsAre(sandbox_->Records(), expected, RecheckOutcome()));

  ScriptedDialogs atStart;
  atStart.Box(DialogResult::Ok,
              {.textContains = "остался файл незавершенного ремонта:\r\n\"" + work + "\"",
               .buttons = DialogButtons::Ok});
  CheckRepairLeftovers(atStart, Db());
  EXPECT_TRUE(Exists(work));
}

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
  std::size_t at = 0;
  while ((at = text.find(what, at)) != std::string::npos) {
    text.replace(at, what.size(), with);
    at += with.size();
  }
  return text;
}

const std::string kInUse =
    "Невозможно выполнить ремонт базы данных, т.к. в данный момент база данных "
    "используется другим приложением";

std::string DeleteByHandMessage(const std::string& db, const std::string& restored) {
  return "Восстановление базы данных завершено! Однако Вам придется\r\n"
         "самостоятельно удалить старый файл \"" +
         db +
         "\" и поместить на его\r\n"
         "место новый файл \"" +
         restored +
         "\". При этом файл необходимо переименовать!\r\n"
         "В результате имя файла должно быть: " +
         db;
}

// Another application has the database attached when the repair starts: nothing is copied,
// mended or renamed.
TEST_F(RebuildEnding, AnotherApplicationAttachedBeforeTheRepairKeepsItsDatabase) {
  auto attachment = std::make_unique<checktest::HeldAttachment>(server_, Db());
  ScriptedDialogs dialogs;
  dialogs.Save(Copy());
  const auto error = RunRepair(*sandbox_, dialogs);

  ASSERT_TRUE(error) << "the repair went through under the other application";
  EXPECT_EQ(*error, kInUse);
  EXPECT_EQ(os::IdentityOf(Db()), identity_) << "the database file is not in place";
  EXPECT_FALSE(Exists(Copy()));
  EXPECT_TRUE(RecordsAre(sandbox_->Records(), {"Начало ремонта базы данных: " + Db(),
                                               "Ошибка функции ремонта базы данных: " + kInUse}));
  attachment.reset();
  EXPECT_EQ(testsupport::CountRows(server_, Db(), "SALES"), 300);
}

// A till attaches, sells and commits while the backup runs (gbak waits until it has tried):
// the database is out of its reach under the work name, so the till is refused instead of
// committing a sale into a file the rebuild discards.
TEST_F(RebuildEnding, ATillAttachingDuringTheBackupIsRefusedAndNoCommittedRowIsLost) {
  const std::string tried = sandbox_->Root() + "/till-tried";
  sandbox_->ReplaceTool("gbak", "if [ \"$1\" = -b ]; then while [ ! -e '" + tried +
                                    "' ]; do sleep 0.05; done; fi\nexec /usr/bin/gbak \"$@\"\n");
  auto till = std::make_shared<std::optional<testsupport::ToolResult>>();
  const testsupport::FbTestServer server = server_;
  const std::string db = Db();
  SetViewerCycleHook([=](TProgressViewer& viewer) {
    if (viewer.GetCaption() != "Создание резервной копии..." || *till)
      return;
    *till = testsupport::RunIsql(server, db,
                                 "insert into SALES (ID, CUSTOMER_ID, AMOUNT) values (9001, 1, 5);"
                                 "\ncommit;\n");
    WriteBytes(tried, "");
  });
  ScriptedDialogs dialogs;
  dialogs.Save(Copy()).Box(DialogResult::Ok, SuccessBox());
  const auto error = RunRepair(*sandbox_, dialogs);
  SetViewerCycleHook(nullptr);
  WaitForViewerThreads(5000);

  ASSERT_FALSE(error) << *error;
  ASSERT_TRUE(*till) << "the till never tried";
  EXPECT_NE((*till)->exitCode, 0) << (*till)->out;
  EXPECT_NE((*till)->err.find("No such file or directory"), std::string::npos) << (*till)->err;
  EXPECT_NE(os::IdentityOf(Db()), identity_) << "the database file was not replaced";
  EXPECT_EQ(testsupport::CountRows(server_, Db(), "SALES"), 300);
  EXPECT_FALSE(Exists(sandbox_->DataDir() + "/VELMAR.db_repair1"));
}

// A rebuild that must not take the database's place: gbak wrote an error line (before its end
// marker, where the unbuffered error stream puts it), or the restored file fails the
// validation because something damaged it after the restore. The stand-in tool runs the real
// one after doing its part.
struct RefusedCase {
  const char* name;
  const char* tool;
  const char* script;  // "%RESTORED%" stands for the restored file
  bool backupFails;
  std::string lastRecord;  // before the error; a trailing '*' matches any rest
};

void PrintTo(const RefusedCase& c, std::ostream* out) {
  *out << c.name;
}

class RebuiltFileRefused : public RebuildEnding,
                           public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RebuiltFileRefused, LeavesTheDatabaseAndTheSafetyCopy) {
  const RefusedCase& c = GetParam();
  sandbox_->ReplaceTool(c.tool, Replaced(c.script, "%RESTORED%", Restored()) + "exec /usr/bin/" +
                                    c.tool + " \"$@\"\n");
  ScriptedDialogs dialogs;
  dialogs.Save(Copy());
  const auto error = RunRepair(*sandbox_, dialogs);

  const std::string message = c.backupFails ? BackupFailedText()
                              : std::string(c.tool) == "gbak"
                                  ? RestoreFailedText()
                                  : "Восстановленная база данных не прошла проверку!\r\n"
                                    "Файл базы данных не заменен, но изменен маркировкой "
                                    "поврежденных страниц.\r\nВосстановленная база данных: " +
                                        Restored() + "\r\nКопия базы данных до ремонта: " + Copy() +
                                        "\r\nПодробности смотрите в логах:\r\n" + SessionLogPath() +
                                        "\r\n" + ServerLogPath();
  ASSERT_TRUE(error) << "the repair reported success";
  EXPECT_EQ(*error, message);
  EXPECT_EQ(os::IdentityOf(Db()), identity_) << "the database file was replaced";
  EXPECT_TRUE(Exists(Copy()));
  EXPECT_EQ(Exists(Restored()), !c.backupFails) << "the restored file is not left";
  EXPECT_FALSE(Exists(Backup()));
  EXPECT_FALSE(Exists(paths::ToolLog()));
  std::vector<std::string> expected = RecordsUpToBackup(Db(), Copy());
  if (!c.backupFails)
    expected.insert(expected.end(),
                    {"Создание резервной копии успешно завершено",
                     "Будет выполнено восстановление базы данных из резервной копии"});
  if (std::string(c.tool) == "gfix")
    expected.push_back("Восстановление из резервной копии прошло успешно!");
  expected.push_back(c.lastRecord);
  expected.push_back("Ошибка функции ремонта базы данных: " + message);
  EXPECT_TRUE(RecordsAre(sandbox_->Records(), expected, RecheckOutcome()));
}

INSTANTIATE_TEST_SUITE_P(
    NotPutInPlace, RebuiltFileRefused,
    ::testing::Values(
        RefusedCase{"ErrorLineBeforeTheBackupMarker", "gbak",
                    "if [ \"$1\" = -b ]; then echo 'gbak: ERROR:Error reading data from the "
                    "connection.'; fi\n",
                    true,
                    "Лог резервной копии сообщает об ошибках, резервная копия непригодна:\r\n"
                    "gbak: ERROR:Error reading data from the connection.\r\n*"},
        RefusedCase{"ErrorLineBeforeTheRestoreMarker", "gbak",
                    "if [ \"$1\" = -c ]; then echo 'gbak: ERROR:Error reading data from the "
                    "connection.'; fi\n",
                    false,
                    "Лог восстановления базы данных из резервной копии сообщает об ошибках, "
                    "восстановленная база данных непригодна:\r\n"
                    "gbak: ERROR:Error reading data from the connection.\r\n*"},
        RefusedCase{"RestoredFileDamagedBeforeTheReplacement", "gfix",
                    "if [ \"$1\" = -v ]; then case \"$3\" in *.db_restored1) "
                    "echo 'damaged between the restore and the replacement' > '%RESTORED%';; "
                    "esac; fi\n",
                    false, "Проверка восстановленной базы данных не пройдена:\r\n*"}),
    [](const auto& info) { return std::string(info.param.name); });

// A restore that runs out of room is a full disk, not a damaged database; its partial file
// would only keep the space the operator has to free.
TEST_F(RebuildEnding, ARestoreOutOfRoomNamesTheDiskAndRemovesItsPartialFile) {
  if (!kSharesServerMounts)
    GTEST_SKIP() << "cannot share the server's mounts (not root?)";
  const auto size = static_cast<std::uint64_t>(std::filesystem::file_size(Db()));
  testsupport::SmallVolume volume(sandbox_->DataDir() + "/small", size + size / 2);
  ASSERT_TRUE(volume.Ok());
  const std::string db = volume.Folder() + "/VELMAR.FDB";
  std::filesystem::copy_file(Db(), db);
  ScriptedDialogs dialogs;
  try {
    RebuildDatabase(dialogs, db, RebuildOptions{});
    FAIL() << "the rebuild fitted";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(),
              "Не хватает места на диске: сервер базы данных не смог записать файл\r\n\"" +
                  volume.Folder() +
                  "/VELMAR.db_restored1\".\r\nОсвободите место на диске и повторите попытку.");
  }
  EXPECT_TRUE(dialogs.Boxes().empty()) << dialogs.Transcript();
  EXPECT_FALSE(Exists(volume.Folder() + "/VELMAR.db_restored1"));
  EXPECT_FALSE(Exists(volume.Folder() + "/VELMAR.db_backup1"));
  // The backup's attachment stamps the header page; the file stays whole and in place.
  EXPECT_EQ(std::filesystem::file_size(db), size);
}

std::vector<std::string> Plus(std::vector<std::string> head, std::vector<std::string> tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

BoxExpectation RetryQuestion(const std::string& restored) {
  return {.caption = "Внимание!",
          .textContains = "Не удалось поместить восстановленный файл \"" + restored + "\"",
          .buttons = DialogButtons::YesNo,
          .icon = DialogIcon::Warning,
          .defaultButton = 1};
}

// No to trying again: the database goes back to its path, the rebuilt file stays beside it,
// and the operator is told how to swap them by hand.
TEST_F(RebuildEnding, ARestoredFileThatCannotBeRenamedIsLeftCompleteBesideTheDatabase) {
  std::string why;
  if (!ImmutableSupported(sandbox_->DataDir(), &why))
    GTEST_SKIP() << why;
  ProtectBeforeReplacement(Restored());
  const std::string before = ReadBytes(Db());
  ScriptedDialogs dialogs;
  // The protected file cannot be counted: the losses box comes before the instructions.
  dialogs.Save(Copy())
      .Box(DialogResult::No, RetryQuestion(Restored()))
      .Box(DialogResult::Ok, RowLossBox());
  const auto error = RunRepair(*sandbox_, dialogs);

  const std::string message = DeleteByHandMessage(Db(), Restored());
  ASSERT_TRUE(error) << "the repair reported success";
  EXPECT_EQ(*error, message);
  EXPECT_EQ(os::IdentityOf(Db()), identity_) << "the database is not back at its path";
  EXPECT_TRUE(Exists(Restored()));
  EXPECT_EQ(ReadBytes(Copy()), before);
  EXPECT_FALSE(Exists(Backup()));
  EXPECT_FALSE(Exists(paths::ToolLog()));
  std::vector<std::string> expected = UpToRestoreSuccess(Db(), Copy(), Restored());
  expected.push_back("Ошибка функции ремонта базы данных: " + message);
  EXPECT_TRUE(RecordsAre(sandbox_->Records(), expected,
                         Plus(RecheckOutcome(), {"Не удалось передать файлу *"})));
  ExpectNothingLost();
}

// Yes, once the other program let go of the file: the replacement goes through.
TEST_F(RebuildEnding, TryingTheReplacementAgainReplacesTheDatabase) {
  std::string why;
  if (!ImmutableSupported(sandbox_->DataDir(), &why))
    GTEST_SKIP() << why;
  ProtectBeforeReplacement(Restored());
  const std::string restored = Restored();
  ScriptedDialogs dialogs;
  dialogs.Save(Copy())
      .Box(DialogResult::Yes, RetryQuestion(restored),
           [restored] { SetImmutable(restored, false); })
      .Box(DialogResult::Ok, SuccessBox())
      .Box(DialogResult::Ok, RowLossBox());
  ASSERT_EQ(RunRepair(*sandbox_, dialogs), std::nullopt) << dialogs.Transcript();
  EXPECT_NE(os::IdentityOf(Db()), identity_) << "the database file was not replaced";
  EXPECT_TRUE(RecordsAre(sandbox_->Records(), SuccessRecords(Db(), Copy()),
                         Plus(RecheckOutcome(), {"Не удалось передать файлу *"})));
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

// The process ends (a kill, a power cut) between two steps: with the database under its work
// name, or with the rebuilt file in place and the old one not yet deleted. The next start
// puts the database back or tells the operator; no row is lost either way.
struct KillCase {
  const char* step;
  bool replaced;
};

class KilledBetweenSteps : public RebuildEnding, public ::testing::WithParamInterface<KillCase> {};

TEST_P(KilledBetweenSteps, TheNextStartFindsAWayBack) {
  const KillCase& c = GetParam();
  const std::string work = sandbox_->DataDir() + "/VELMAR.db_repair1";
  const std::string script = paths::WorkDirectory() + "DBRepairBat9.bat";
  const std::string partial = paths::SafetyCopyFolder() + "/VELMAR_BACKUP.FDB.4242.tmp";
  GTEST_FLAG_SET(death_test_style, "fast");  // the child must see this sandbox
  EXPECT_EXIT(
      {
        const std::string step = c.step;
        SetRepairStepHook([step, script, partial](const std::string& at) {
          if (at == step) {
            os::ForceDirectories(paths::SafetyCopyFolder());
            WriteBytes(script, "gbak -pass secret");
            WriteBytes(partial, "torn");
            std::_Exit(77);
          }
        });
        ScriptedDialogs dialogs;
        dialogs.Save(Copy());
        RunRepair(*sandbox_, dialogs);
      },
      ::testing::ExitedWithCode(77), "");
  ASSERT_TRUE(WaitForToolsOn(sandbox_->DataDir(), 60000));
  ASSERT_EQ(Exists(Db()), c.replaced);
  ASSERT_TRUE(Exists(work));

  ScriptedDialogs atStart;
  atStart.Box(DialogResult::Ok,
              {.textContains = c.replaced ? "остался файл незавершенного ремонта:\r\n\"" + work
                                          : "Файл базы данных возвращен на место:\r\n" + Db()});
  CheckRepairLeftovers(atStart, Db());
  EXPECT_EQ(os::IdentityOf(Db()) == identity_, !c.replaced);
  EXPECT_EQ(Exists(work), c.replaced) << "the old file is the operator's to remove";
  EXPECT_FALSE(Exists(script)) << "a script with the password was left";
  EXPECT_FALSE(Exists(partial));
  EXPECT_EQ(testsupport::CountRows(server_, Db(), "SALES"), 300);
}

INSTANTIATE_TEST_SUITE_P(Kill, KilledBetweenSteps,
                         ::testing::Values(KillCase{"taken", false}, KillCase{"replaced", true}),
                         [](const auto& info) { return std::string(info.param.step); });

class FileFieldOnly : public MainWindowView {
 public:
  explicit FileFieldOnly(std::string file) : file_(std::move(file)) {}
  std::string FileName() const override { return file_; }
  void SetFileName(const std::string& file) override { file_ = file; }
  int ActivePage() const override { return 1; }
  void SetActivePage(int) override {}

 private:
  std::string file_;
};

// Esc during the restore leaves gbak writing (until the test lets it end): a new click is
// refused meanwhile, so nothing copies or replaces a file that is still being written.
TEST_F(RebuildEnding, ANewRunWhileACancelledRestoreStillRunsIsRefused) {
  const std::string release = sandbox_->Root() + "/release";
  sandbox_->ReplaceTool("gbak", "if [ \"$1\" = -c ]; then while [ ! -e '" + release +
                                    "' ]; do sleep 0.05; done; fi\nexec /usr/bin/gbak \"$@\"\n");
  SetViewerCycleHook([](TProgressViewer& viewer) {
    if (viewer.GetCaption() == "Восстановление из резервной копии...")
      viewer.Cancel();
  });
  FileFieldOnly view(Db());
  ScriptedDialogs dialogs;
  dialogs.Save(Copy()).Error("Прервано пользователем!");
  TForm1 form(view, dialogs);
  form.ClickRepair();
  SetViewerCycleHook(nullptr);
  const std::string copied = ReadBytes(Copy());

  dialogs.Box(DialogResult::Ok, {.caption = "Внимание!",
                                 .textContains = "еще не завершила работу с базой данных",
                                 .buttons = DialogButtons::Ok});
  form.ClickRepair();
  WriteBytes(release, "");
  EXPECT_EQ(dialogs.SaveRequests().size(), 1u) << "the second run got as far as the copy";
  EXPECT_EQ(ReadBytes(Copy()), copied);
  EXPECT_EQ(os::IdentityOf(Db()), identity_);
}

// The server writes the rebuilt file as its own user: it takes the old file's owner, group
// and mode before it takes the old file's name.
TEST_F(RebuildEnding, TheRebuiltFileKeepsTheOldFilesOwnerAndMode) {
  ASSERT_EQ(::chown(Db().c_str(), 4321, 4322), 0);
  ASSERT_EQ(::chmod(Db().c_str(), 0604), 0);
  ScriptedDialogs dialogs;
  dialogs.Save(Copy()).Box(DialogResult::Ok, SuccessBox());
  ASSERT_EQ(RunRepair(*sandbox_, dialogs), std::nullopt) << dialogs.Transcript();
  EXPECT_NE(os::IdentityOf(Db()), identity_) << "the database file was not replaced";
  struct stat info {};
  ASSERT_EQ(::stat(Db().c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4321u);
  EXPECT_EQ(info.st_gid, 4322u);
  EXPECT_EQ(info.st_mode & 07777, 0604u);
}

TEST_F(RebuildEnding, EscDuringTheRecheckDoesNotStopTheRepair) {
  sandbox_->ReplaceTool("gfix",
                        "if [ \"$1\" = -v ]; then sleep 1; fi\nexec /usr/bin/gfix \"$@\"\n");
  const std::string restored = Restored();
  SetViewerCycleHook([restored](TProgressViewer& viewer) {
    // The validation of the restored file, later, has the same caption.
    if (viewer.GetCaption() == "Выполняется проверка базы данных..." && !Exists(restored))
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
