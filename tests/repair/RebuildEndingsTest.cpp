// The endings of a repair that are not the operator's choice: a database file that will not
// go, a restored file that will not take its name, another application attached to the
// database, a rebuild that gbak or the validation condemns, and the operator's Esc at each
// tool run. Whatever happens, the operator is never left without both the database and the
// rebuilt file.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>

#include "os/Files.h"
#include "progress/ProgressViewer.h"
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

TEST_F(RebuildEnding, ADatabaseFileThatCannotBeDeletedLeavesTheRebuiltFileForTheOperator) {
  std::string why;
  if (!ImmutableSupported(sandbox_->DataDir(), &why))
    GTEST_SKIP() << why;
  ProtectBeforeReplacement(Db());
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

// Another application attaches to the database at a given point of the repair and stays.
// `attachAt` "" attaches before the repair starts; "recheck" while gfix is about to validate
// the database, "replacement" while it is about to validate the restored file: gfix waits
// for the attachment, so the order is certain.
struct InUseCase {
  const char* name;
  const char* attachAt;
  bool messageAsksToReplaceByHand;
  std::vector<std::string> lastRecords;  // after the mend's start, before the error
};

void PrintTo(const InUseCase& c, std::ostream* out) {
  *out << c.name;
}

class AnotherApplicationAttached : public RebuildEnding,
                                   public ::testing::WithParamInterface<InUseCase> {
 protected:
  struct Hold {
    std::mutex lock;
    std::unique_ptr<checktest::HeldAttachment> attachment;
    std::string failure;
  };
};

TEST_P(AnotherApplicationAttached, NeverGetsItsDatabaseReplaced) {
  const InUseCase& c = GetParam();
  const std::string attachAt = c.attachAt;
  auto hold = std::make_shared<Hold>();
  if (attachAt.empty()) {
    hold->attachment = std::make_unique<checktest::HeldAttachment>(server_, Db());
  } else {
    const std::string attached = sandbox_->Root() + "/attached";
    const std::string target = attachAt == "recheck" ? "*/VELMAR.FDB" : "*.db_restored1";
    sandbox_->ReplaceTool("gfix", "if [ \"$1\" = -v ]; then case \"$3\" in " + target +
                                      ") while [ ! -e '" + attached +
                                      "' ]; do sleep 0.05; done;; esac; fi\n"
                                      "exec /usr/bin/gfix \"$@\"\n");
    const bool restoredFirst = attachAt == "replacement";
    const std::string restored = Restored();
    const testsupport::FbTestServer server = server_;
    const std::string db = Db();
    SetViewerCycleHook([=](TProgressViewer& viewer) {
      if (viewer.GetCaption() != "Выполняется проверка базы данных..." ||
          Exists(restored) != restoredFirst)
        return;
      std::lock_guard<std::mutex> guard(hold->lock);
      if (hold->attachment || !hold->failure.empty())
        return;
      try {
        hold->attachment = std::make_unique<checktest::HeldAttachment>(server, db);
      } catch (const std::exception& e) {
        hold->failure = e.what();
      }
      WriteBytes(attached, "");
    });
  }
  ScriptedDialogs dialogs;
  dialogs.Save(Copy());
  const auto error = RunRepair(*sandbox_, dialogs);
  SetViewerCycleHook(nullptr);
  WaitForViewerThreads(5000);

  ASSERT_TRUE(hold->attachment) << "the other application never attached " << hold->failure;
  ASSERT_TRUE(error) << "the repair went through under the other application";
  EXPECT_EQ(*error, c.messageAsksToReplaceByHand ? DeleteByHandMessage(Db(), Restored()) : kInUse);
  EXPECT_EQ(os::IdentityOf(Db()), identity_) << "the database file was replaced";
  EXPECT_EQ(Exists(Restored()), c.messageAsksToReplaceByHand);
  EXPECT_TRUE(Exists(Copy()));
  std::vector<std::string> expected = {"Начало ремонта базы данных: " + Db(),
                                       "Сделана копия файла базы данных: " + Copy(),
                                       "Будет сделана маркировка поврежденных страниц"};
  for (const std::string& record : c.lastRecords)
    expected.push_back(Replaced(Replaced(record, "%DB%", Db()), "%RESTORED%", Restored()));
  expected.push_back("Ошибка функции ремонта базы данных: " + *error);
  // The restored file is counted before the replacement is tried.
  std::vector<std::string> optional = RecheckOutcome();
  optional.push_back("Таблица *");
  EXPECT_TRUE(RecordsAre(sandbox_->Records(), expected, optional));
  hold->attachment.reset();
  EXPECT_EQ(testsupport::CountRows(server_, Db(), "SALES"), 300);
}

const std::vector<std::string> kRecheckStarted = {
    "Маркировка поврежденных страниц завершена",
    "Будет сделана повторная проверка с помощью gfix",
};

INSTANTIATE_TEST_SUITE_P(
    InUse, AnotherApplicationAttached,
    ::testing::Values(InUseCase{"BeforeTheMend", "", false, {}},
                      InUseCase{"BeforeTheRecheck", "recheck", false, kRecheckStarted},
                      InUseCase{
                          "BeforeTheReplacement",
                          "replacement",
                          true,
                          {"Маркировка поврежденных страниц завершена",
                           "Будет сделана повторная проверка с помощью gfix",
                           "Будет сделана резервная копия базы данных",
                           "Создание резервной копии успешно завершено",
                           "Будет выполнено восстановление базы данных из резервной копии",
                           "Восстановление из резервной копии прошло успешно!",
                           "Будет выполнена попытка заменить файл \"%DB%\" на \"%RESTORED%\""}}),
    [](const auto& info) { return std::string(info.param.name); });

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

TEST_F(RebuildEnding, ARestoredFileThatCannotBeRenamedIsLeftCompleteBesideTheSafetyCopy) {
  std::string why;
  if (!ImmutableSupported(sandbox_->DataDir(), &why))
    GTEST_SKIP() << why;
  ProtectBeforeReplacement(Restored());
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
