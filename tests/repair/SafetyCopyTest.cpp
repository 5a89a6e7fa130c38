// The safety copy: the dialog, the refusals that keep the database from being copied onto
// itself, the question before an old file is replaced, and the checks that stop the repair
// before anything is copied.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "server/FixedPaths.h"
#include "tests/repair/RepairSandbox.h"
#include "tests/repair/RepairTestCommon.h"
#include "tests/support/SmallVolume.h"
#include "tests/support/TestDatabase.h"

using namespace repairtest;
namespace fs = std::filesystem;

namespace {

const std::string kAborted = "Операция прервана пользователем!";
const std::string kOntoItself = "Нельзя копировать файл сам в себя!!!";

std::vector<std::string> StartAndError(const std::string& db, const std::string& message) {
  return {"Начало ремонта базы данных: " + db, "Ошибка функции ремонта базы данных: " + message};
}

class SafetyCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    sandbox_ = std::make_unique<RepairSandbox>(server_, "safety-" + name);
    testsupport::CreateTestDatabase(server_, sandbox_->Database(), 100, /*blobs=*/false);
    original_ = ReadBytes(sandbox_->Database());
  }
  std::string Db() const { return sandbox_->Database(); }

  testsupport::FbTestServer server_ = Server();
  std::unique_ptr<RepairSandbox> sandbox_;
  std::string original_;
};

TEST_F(SafetyCopy, CancellingTheDialogWritesOnlyTheStartAndTheErrorRecords) {
  ScriptedDialogs dialogs;
  dialogs.SaveCancelled();
  const auto error = RunRepair(*sandbox_, dialogs);

  ASSERT_TRUE(error);
  EXPECT_EQ(*error, kAborted);
  EXPECT_TRUE(RecordsAre(sandbox_->Records(), StartAndError(Db(), kAborted)));
  const auto saves = dialogs.SaveRequests();
  ASSERT_EQ(saves.size(), 1u);
  const SaveDialogSettings& settings = saves[0].settings;
  EXPECT_EQ(settings.title, "Укажите файл для сохранения копии базы данных");
  EXPECT_EQ(settings.filterName, "База данных (*.FDB)");
  EXPECT_EQ(settings.filterPattern, "*.FDB");
  EXPECT_EQ(settings.defaultExt, "*.FDB");
  EXPECT_TRUE(settings.overwritePrompt);
  EXPECT_EQ(settings.initialDir, paths::SafetyCopyFolder());
  EXPECT_TRUE(fs::is_directory(paths::SafetyCopyFolder())) << "the default folder was not made";
  EXPECT_EQ(settings.fileName, "VELMAR_BACKUP.FDB");
  EXPECT_EQ(ReadBytes(Db()), original_);
}

TEST_F(SafetyCopy, TheDialogOpensInTheDatabaseFolderWhenTheDefaultFolderCannotBeMade) {
  WriteBytes(sandbox_->Root() + "/Backup", "a file where the folder should be");
  ScriptedDialogs dialogs;
  dialogs.SaveCancelled();
  RunRepair(*sandbox_, dialogs);

  ASSERT_EQ(dialogs.SaveRequests().size(), 1u);
  EXPECT_EQ(dialogs.SaveRequests()[0].settings.initialDir, sandbox_->DataDir());
}

TEST_F(SafetyCopy, ANameWithoutExtensionGetsTheSuffixAppended) {
  const std::string bare = sandbox_->DataDir() + "/VELMARDB";
  fs::copy_file(Db(), bare);
  ScriptedDialogs dialogs;
  dialogs.SaveCancelled();
  RunRepairOn(bare, dialogs);

  ASSERT_EQ(dialogs.SaveRequests().size(), 1u);
  EXPECT_EQ(dialogs.SaveRequests()[0].settings.fileName, "VELMARDB_BACKUP.FDB");
}

TEST_F(SafetyCopy, AMissingGbakStopsTheRunBeforeAnythingIsCopied) {
  sandbox_->ReplaceTool("gbak", "");
  ScriptedDialogs dialogs;  // no dialog may open
  const auto error = RunRepair(*sandbox_, dialogs);

  const std::string expected = "Не найден файл: " + paths::Gbak();
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, expected);
  EXPECT_TRUE(RecordsAre(sandbox_->Records(), StartAndError(Db(), expected)));
  EXPECT_FALSE(Exists(paths::SafetyCopyFolder()));
  EXPECT_TRUE(dialogs.Events().empty());
  EXPECT_EQ(ReadBytes(Db()), original_);
}

TEST_F(SafetyCopy, TheToolsAreCheckedBeforeTheDatabaseAndTheWorkFolder) {
  sandbox_->ReplaceTool("gfix", "");
  sandbox_->ReplaceTool("gbak", "");
  ScriptedDialogs dialogs;
  EXPECT_EQ(RunRepairOn(sandbox_->DataDir() + "/NONE.FDB", dialogs),
            "Не найден файл: " + paths::Gfix());
}

TEST_F(SafetyCopy, AMissingDatabaseAndAnUnmakeableWorkFolderAreRefused) {
  ScriptedDialogs dialogs;
  EXPECT_EQ(RunRepairOn(sandbox_->DataDir() + "/NONE.FDB", dialogs),
            "Указанная база данных не найдена на этом компьютере!");
  WriteBytes(sandbox_->Root() + "/TEMP", "a file where the folder should be");
  EXPECT_EQ(RunRepair(*sandbox_, dialogs),
            "Не удалось создать временный каталог: " + paths::WorkDirectory());
  EXPECT_TRUE(dialogs.Events().empty());
}

// Every spelling of the database's own file must be refused, or step "delete the old file"
// would delete the database.
class CopyOntoItself : public SafetyCopy {
 protected:
  void ExpectRefused(const std::string& chosen) {
    ScriptedDialogs dialogs;
    dialogs.Save(chosen);
    const auto error = RunRepair(*sandbox_, dialogs);
    ASSERT_TRUE(error) << chosen;
    EXPECT_EQ(*error, kOntoItself) << chosen;
    EXPECT_TRUE(RecordsAre(sandbox_->Records(), StartAndError(Db(), kOntoItself)));
    ASSERT_TRUE(Exists(Db()));
    EXPECT_EQ(ReadBytes(Db()), original_) << chosen;
  }
};

TEST_F(CopyOntoItself, TheSamePath) {
  ExpectRefused(Db());
}

TEST_F(CopyOntoItself, TheSamePathInAnotherLetterCase) {
  ExpectRefused(sandbox_->DataDir() + "/velmar.fdb");
}

TEST_F(CopyOntoItself, ARelativePath) {
  ExpectRefused(fs::relative(Db(), fs::current_path()).string());
}

TEST_F(CopyOntoItself, APathWithDotDot) {
  const fs::path dir(sandbox_->DataDir());
  ExpectRefused((dir / ".." / dir.filename() / "." / "VELMAR.FDB").string());
}

TEST_F(CopyOntoItself, AFolderLink) {
  const std::string link = sandbox_->Root() + "/linked-data";
  fs::create_directory_symlink(sandbox_->DataDir(), link);
  ExpectRefused(link + "/VELMAR.FDB");
}

TEST_F(CopyOntoItself, AFileLink) {
  const std::string link = sandbox_->Root() + "/VELMAR_BACKUP.FDB";
  fs::create_symlink(Db(), link);
  ExpectRefused(link);
}

TEST_F(CopyOntoItself, AHardLink) {
  const std::string link = sandbox_->DataDir() + "/SECOND_NAME_BACKUP.FDB";
  fs::create_hard_link(Db(), link);
  ExpectRefused(link);
}

// An old file in a place named after backups is the operator's own earlier copy.
class ReplacingAnOldFile : public SafetyCopy {
 protected:
  std::string PlaceOldFile(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    WriteBytes(path, "an old copy");
    return path;
  }
  void ExpectCopied(const std::string& chosen) {
    EXPECT_EQ(ReadBytes(chosen), original_) << "the safety copy is not the database";
  }
};

TEST_F(ReplacingAnOldFile, InTheDefaultFolderNoQuestionIsAsked) {
  const std::string chosen = PlaceOldFile(paths::SafetyCopyFolder() + "/old.fdb");
  ScriptedDialogs dialogs;  // a question would be an unexpected box
  dialogs.Save(chosen).Box(DialogResult::Ok, SuccessBox());
  ASSERT_EQ(RunRepair(*sandbox_, dialogs), std::nullopt) << dialogs.Transcript();
  EXPECT_EQ(dialogs.Boxes().size(), 1u) << "a repair that lost nothing reports nothing";
  ExpectCopied(chosen);
  // The figures are still in the log, but no report goes beside the copy.
  const auto records = sandbox_->Records();
  const std::string sales = "Таблица SALES: записей до ремонта 100, после ремонта 100";
  EXPECT_NE(std::find(records.begin(), records.end(), sales), records.end());
  EXPECT_FALSE(Exists(paths::SafetyCopyFolder() + "/old.txt"));
}

TEST_F(ReplacingAnOldFile, ANameWithBackupInAnyCaseAsksNothing) {
  const std::string chosen = PlaceOldFile(sandbox_->Root() + "/elsewhere/velmar_Backup.fdb");
  ScriptedDialogs dialogs;
  dialogs.Save(chosen).Box(DialogResult::Ok, SuccessBox());
  ASSERT_EQ(RunRepair(*sandbox_, dialogs), std::nullopt) << dialogs.Transcript();
  ExpectCopied(chosen);
}

BoxExpectation OldFileQuestion(const std::string& path) {
  BoxExpectation box;
  box.caption = "Внимание!";
  box.text = "Старый файл \"" + path +
             "\" будет удален!\r\nВы уверены, что этот файл не является рабочим\r\n"
             "файлом базы данных Velmar";
  box.buttons = DialogButtons::YesNo;
  box.icon = DialogIcon::None;
  return box;
}

TEST_F(ReplacingAnOldFile, ElsewhereNoEndsTheRunAndKeepsTheOldFile) {
  const std::string chosen = PlaceOldFile(sandbox_->Root() + "/elsewhere/copy.fdb");
  ScriptedDialogs dialogs;
  dialogs.Save(chosen).Box(DialogResult::No, OldFileQuestion(chosen));
  const auto error = RunRepair(*sandbox_, dialogs);

  ASSERT_TRUE(error);
  EXPECT_EQ(*error, kAborted);
  EXPECT_EQ(ReadBytes(chosen), "an old copy");
  EXPECT_TRUE(RecordsAre(sandbox_->Records(), StartAndError(Db(), kAborted)));
}

TEST_F(ReplacingAnOldFile, ElsewhereYesReplacesTheOldFile) {
  const std::string chosen = PlaceOldFile(sandbox_->Root() + "/elsewhere/copy.fdb");
  ScriptedDialogs dialogs;
  dialogs.Save(chosen)
      .Box(DialogResult::Yes, OldFileQuestion(chosen))
      .Box(DialogResult::Ok, SuccessBox());
  ASSERT_EQ(RunRepair(*sandbox_, dialogs), std::nullopt) << dialogs.Transcript();
  ExpectCopied(chosen);
}

// The names in a folder: a copy that failed must leave nothing of its own there.
std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// Files this process writes cannot grow beyond `bytes` while the object lives: a disk that
// fills up, for this process only. Writes past it fail with EFBIG instead of a signal.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  sighandler_t previous_;
};

TEST_F(ReplacingAnOldFile, ACopyThatFailsHalfWayLeavesTheOldFileAsItWas) {
  const std::string chosen = PlaceOldFile(paths::SafetyCopyFolder() + "/VELMAR_BACKUP.FDB");
  ScriptedDialogs dialogs;
  dialogs.Save(chosen);
  std::optional<std::string> error;
  {
    FileSizeLimit diskFull(original_.size() / 2);
    error = RunRepair(*sandbox_, dialogs);
  }

  const std::string message =
      "Не удалось скопировать базу данных в файл файл \"" + chosen + "\": File too large";
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, message);
  EXPECT_EQ(ReadBytes(chosen), "an old copy");
  EXPECT_EQ(NamesIn(paths::SafetyCopyFolder()), std::set<std::string>{"VELMAR_BACKUP.FDB"});
  EXPECT_TRUE(RecordsAre(sandbox_->Records(), StartAndError(Db(), message)));
  EXPECT_EQ(ReadBytes(Db()), original_);
}

// The earlier copy may be the only copy of the original: kept under its date and time, or the
// repair stops before anything is changed.
TEST_F(ReplacingAnOldFile, AnEarlierCopyThatCannotBeKeptStopsTheRepair) {
  const std::string chosen = PlaceOldFile(paths::SafetyCopyFolder() + "/VELMAR_BACKUP.FDB");
  std::string why;
  if (!ImmutableSupported(sandbox_->DataDir(), &why))
    GTEST_SKIP() << why;
  sandbox_->Protect(chosen);
  ScriptedDialogs dialogs;
  dialogs.Save(chosen);
  const auto error = RunRepair(*sandbox_, dialogs);

  ASSERT_TRUE(error);
  EXPECT_EQ(error->rfind("Не удалось сохранить прежнюю копию \"" + chosen + "\" под именем \"", 0),
            0u)
      << *error;
  EXPECT_EQ(ReadBytes(Db()), original_);
  EXPECT_EQ(ReadBytes(chosen), "an old copy");
  EXPECT_EQ(NamesIn(paths::SafetyCopyFolder()), std::set<std::string>{"VELMAR_BACKUP.FDB"})
      << "the new copy was left beside the old file";
}

// A repair that failed after its mend, then a second one with the same default copy name: the
// operator is told first, and the copy of the original is kept beside the new one.
TEST_F(ReplacingAnOldFile, ASecondRepairAfterAFailedOneKeepsBothCopies) {
  const std::string copy = sandbox_->DefaultSafetyCopy();
  sandbox_->ReplaceTool("gbak", "exit 1\n");
  ScriptedDialogs first;
  first.Save(copy);
  ASSERT_TRUE(RunRepair(*sandbox_, first));
  sandbox_->ReplaceTool("gbak", "exec /usr/bin/gbak \"$@\"\n");
  const std::string mended = ReadBytes(Db());

  ScriptedDialogs second;
  second
      .Box(DialogResult::Yes, {.text = "Предыдущий ремонт этой базы данных не был завершен.\r\n"
                                       "Копия, сделанная перед ним, хранит базу данных до "
                                       "ремонта:\r\n" +
                                       copy + "\r\nНе удаляйте эту копию.\r\nПродолжить ремонт?",
                               .defaultButton = 1})
      .Save(copy)
      .Box(DialogResult::Ok, SuccessBox());
  ASSERT_EQ(RunRepair(*sandbox_, second), std::nullopt) << second.Transcript();

  EXPECT_EQ(ReadBytes(copy), mended);
  const std::set<std::string> names = NamesIn(paths::SafetyCopyFolder());
  ASSERT_EQ(names.size(), 2u);
  const std::string kept = paths::SafetyCopyFolder() + "/" + *names.rbegin();  // "_" after "."
  EXPECT_EQ(ReadBytes(kept), original_) << "the copy of the original was not kept";
  const auto records = sandbox_->Records();
  EXPECT_NE(std::find(records.begin(), records.end(),
                      "Прежняя копия файла базы данных сохранена под именем: " + kept),
            records.end());
}

// The rebuild makes and deletes files of its own beside the database and in the work folder:
// a safety copy under such a name, or a database bearing one, would be deleted with them.
TEST_F(SafetyCopy, TheRepairsOwnFileNamesAreRefusedBeforeAnythingIsChanged) {
  const fs::path data(sandbox_->DataDir());
  for (const std::string& chosen : {(data / "VELMAR.db_restored1").string(),
                                    (data / ".." / data.filename() / "VELMAR.db_backup1").string(),
                                    paths::ToolLog(), (data / "VELMAR.db_backup").string()}) {
    ScriptedDialogs dialogs;
    dialogs.Save(chosen);
    const auto error = RunRepair(*sandbox_, dialogs);
    const std::string message =
        "Нельзя сохранить копию в файл \"" + chosen +
        "\"!\r\n"
        "Файл с таким именем программа создает при ремонте и затем удаляет.\r\n"
        "Укажите другое имя файла.";
    ASSERT_TRUE(error) << chosen;
    EXPECT_EQ(*error, message);
    EXPECT_FALSE(Exists(chosen)) << "a copy was made under the scratch name " << chosen;
  }
  // The restored file an earlier repair left is the likeliest database of such a name.
  const std::string restored = (data / "VELMAR.db_restored1").string();
  fs::copy_file(Db(), restored);
  ScriptedDialogs dialogs;  // no dialog may open
  const auto error = RunRepairOn(restored, dialogs);
  const std::string message =
      "Нельзя ремонтировать файл \"" + restored +
      "\"!\r\n"
      "Файл с таким именем программа создает при ремонте и затем удаляет.\r\n"
      "Переименуйте файл базы данных и повторите ремонт.";
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, message);
  EXPECT_TRUE(dialogs.Events().empty());
  EXPECT_EQ(ReadBytes(restored), original_);
  EXPECT_EQ(ReadBytes(Db()), original_);
}

// The copy takes the database's size on its volume, the backup and the restored file twice
// that beside the database; a volume without that room stops the repair before it starts.
TEST_F(SafetyCopy, AVolumeWithoutRoomIsNamedBeforeAnythingIsCopied) {
  const auto size = static_cast<std::uint64_t>(fs::file_size(Db()));
  const std::string kb = std::to_string((size + 1023) / 1024) + " КБ";
  const auto refusal = [](const std::string& volume, const std::string& needed) {
    return "Недостаточно места на диске \"" + volume + "\" для ремонта базы данных:\r\nнужно " +
           needed + ", свободно ";
  };
  testsupport::SmallVolume copyVolume(sandbox_->Root() + "/small copy", size / 2);
  ASSERT_TRUE(copyVolume.Ok()) << "cannot mount a tmpfs (not root?)";
  ScriptedDialogs dialogs;
  dialogs.Save(copyVolume.Folder() + "/VELMAR_BACKUP.FDB");
  auto error = RunRepair(*sandbox_, dialogs);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->rfind(refusal(copyVolume.Folder(), kb), 0), 0u) << *error;
  EXPECT_TRUE(fs::is_empty(copyVolume.Folder()));

  testsupport::SmallVolume dataVolume(sandbox_->Root() + "/small data", size + size / 2);
  ASSERT_TRUE(dataVolume.Ok());
  const std::string db = dataVolume.Folder() + "/VELMAR.FDB";
  fs::copy_file(Db(), db);
  ScriptedDialogs again;
  again.Save(sandbox_->DefaultSafetyCopy());
  error = RunRepairOn(db, again);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->rfind(
                refusal(dataVolume.Folder(), std::to_string((2 * size + 1023) / 1024) + " КБ"), 0),
            0u)
      << *error;
  EXPECT_EQ(ReadBytes(db), original_);
  EXPECT_FALSE(Exists(sandbox_->DefaultSafetyCopy()));
}

}  // namespace
