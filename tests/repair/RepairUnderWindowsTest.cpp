// The repair in the Windows build, run under Wine at the suite's own paths under C:\KORA. With
// the server's real tools (the host's gfix and gbak behind bridge programs, the private test
// server): a repair under a path with Cyrillic letters and spaces to the success box and a
// file that validates clean, a backup that fails on a zeroed pointer page, and a repair that
// stops at the mend because another program has the database attached. With the
// stand-in tools, which time the restore and condemn a file as no real tool can: the two
// replacement failures with files held open as another program would hold them (no delete
// sharing), a safety copy that fails or may not replace an earlier one, the repair's own file
// names refused, and a restored file the validation condemns.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>

#include <memory>
#include <string>

#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/CodePage.h"
#include "os/Environment.h"
#include "os/Files.h"
#include "os/SystemError.h"
#include "os/win/Wide.h"
#include "progress/ProgressViewer.h"
#include "repair/Leftovers.h"
#include "repair/OutOfReach.h"
#include "repair/RepairWorkflow.h"
#include "server/FBUtils.h"
#include "server/FixedPaths.h"
#include "tests/repair/LogRecords.h"
#include "tests/support/DamageKit.h"
#include "tests/support/FbTestServer.h"
#include "tests/support/HeldByOthers.h"
#include "tests/support/HostProcess.h"
#include "tests/support/HostShell.h"
#include "tests/support/KoraSandbox.h"
#include "tests/support/OperatorScenarios.h"
#include "tests/support/ProgramUnits.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToolRun.h"

using repairtest::RecordsAre;
using scenarios::Recheck;
using scenarios::RowCounting;
using testsupport::FileBytes;

namespace {

const std::string kDataDir = "C:\\KORA\\DB\\REPAIRTEST";
const std::string kDb = kDataDir + "\\VELMAR.FDB";
const std::string kBackup = kDataDir + "\\VELMAR.db_backup1";
const std::string kRestored = kDataDir + "\\VELMAR.db_restored1";
// The database's name while the repair works on it.
const std::string kWork = kDataDir + "\\VELMAR.db_repair1";
const std::string kCopyFolder = "C:\\Kora\\Backup\\FireBirdBase";
const std::string kCopy = kCopyFolder + "\\VELMAR_BACKUP.FDB";
const std::string kBin = "C:\\KORA\\FIREBIRD\\bin\\";
const std::string kDamaged = "damaged database\r\n";
const std::string kRebuilt = "rebuilt database\r\n";
const scenarios::RepairFiles kFiles{kDb, kCopy};
const std::string kSessionLog = "C:\\KORA\\LogFiles\\VelmarDBRepair.log";
const std::string kServerLog = "C:\\KORA\\FIREBIRD\\firebird.log";

// The stand-in tools: the mend and the re-check find nothing; gbak writes its files and the
// end markers the real one writes on its standard output. With `restoredDamaged` the third
// gfix run, the validation of the restored file, reports damage.
std::string Script(int restoreMs, bool restoredDamaged = false) {
  std::string script = "[gfix -mend]\nexit: 0\n";
  if (restoredDamaged)
    script +=
        "[gfix -v -full #3]\nout: Summary of validation errors\n"
        "out: {tab}Number of data page errors{tab}: 1\n";
  script +=
      "[gfix -v -full]\nexit: 0\n"
      "[gbak -b -se]\nfile: {arg:8}\nline: backup\n"
      "out: gbak:closing file, committing, and finishing. 1536 bytes written\n";
  script +=
      "[gbak -c -se]\nfile: {arg:6}\nline: rebuilt database\nsleep: " + std::to_string(restoreMs) +
      "\nout: gbak:finishing, closing, and going home\n"
      "out: gbak:adjusting the ONLINE and FORCED WRITES flags\n";
  return script;
}

class RepairUnderWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(os::ForceDirectories(kDataDir));
    ASSERT_TRUE(os::ForceDirectories(kBin));
    ASSERT_TRUE(os::ForceDirectories("C:\\KORA\\LogFiles"));
    for (const std::string& stale :
         {kDb, kWork, kBackup, kRestored, kCopy, paths::ToolLog(), paths::SessionLogFile(),
          kBin + "gfix.exe", kBin + "gbak.exe", kBin + "repair-calls.log"})
      os::RemoveFile(stale);
    // Copies other tests, or earlier runs in the same prefix, left under other names.
    for (const std::string& name : testsupport::FolderNames(kCopyFolder))
      os::RemoveFile(kCopyFolder + "\\" + name);
    const std::string standin = os::ProgramDirectory() + VELMAR_STANDIN_EXE;
    ASSERT_TRUE(os::CopyFileNoReplace(standin, kBin + "gfix.exe")) << standin;
    ASSERT_TRUE(os::CopyFileNoReplace(standin, kBin + "gbak.exe"));
    os::RemoveFile(paths::SuiteLibrary());
    ASSERT_TRUE(
        os::CopyFileNoReplace(os::ProgramDirectory() + "fbUtils.dll", paths::SuiteLibrary()));
    ASSERT_TRUE(testsupport::PutFile("C:\\KORA\\fbUtils.ini",
                                     "[Common]\r\nPassword=standin\r\nPort=3050\r\n"));
    os::SetEnv("VELMAR_STANDIN_SCRIPT", kBin + "repair.script");
    os::SetEnv("VELMAR_STANDIN_LOG", kBin + "repair-calls.log");
    ASSERT_TRUE(testsupport::PutFile(kDb, kDamaged));

    ASSERT_TRUE(units_.Start());
  }

  void TearDown() override { units_.Stop(); }

  std::optional<std::string> Run(ScriptedDialogs& dialogs, const std::string& db = kDb) {
    WorkflowContext context{dialogs, [&db] { return db; }};
    try {
      RepairDatabase(context);
    } catch (const Exception& e) {
      return e.Message();
    }
    return std::nullopt;
  }

  // The session log is written in the system's code page.
  std::vector<std::string> Records() {
    return repairtest::ParseRecords(os::AnsiToUtf8(os::ReadWholeFile(paths::SessionLogFile())));
  }

  // Without the server's client library (not installed here) the rows are not counted, which
  // costs the repair two records and nothing else. The stand-in's mend leaves nothing to find.
  static std::vector<std::string> UpToReplacement() {
    return scenarios::RecordsUpToReplacement(kFiles, RowCounting::NoClientLibrary, Recheck::Clean);
  }

  testsupport::ProgramUnits units_;
};

TEST_F(RepairUnderWindows, AFullRepairEndsWithTheSuccessBoxAndTheRebuiltFileInPlace) {
  ASSERT_TRUE(testsupport::PutFile(kBin + "repair.script", Script(0)));
  ScriptedDialogs dialogs;
  dialogs.Save(kCopy)
      .Box(DialogResult::Ok, scenarios::SuccessBox())
      .Box(DialogResult::Ok, scenarios::UncountedBox());
  const auto error = Run(dialogs);

  ASSERT_FALSE(error) << *error;
  const auto saves = dialogs.SaveRequests();
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_EQ(saves[0].settings.initialDir, "C:\\Kora\\Backup\\FireBirdBase");
  EXPECT_EQ(saves[0].settings.fileName, "VELMAR_BACKUP.FDB");
  EXPECT_EQ(FileBytes(kDb), kRebuilt);
  EXPECT_EQ(FileBytes(kCopy), kDamaged);
  EXPECT_FALSE(os::FileExists(kBackup));
  EXPECT_FALSE(os::FileExists(kRestored));
  EXPECT_FALSE(os::FileExists(paths::ToolLog()));
  EXPECT_TRUE(RecordsAre(
      Records(), scenarios::SuccessRecords(kFiles, RowCounting::NoClientLibrary, Recheck::Clean)));
  // The tools ran in the repair's order, each addressing the local server; gbak through its
  // service manager, with the files as the server names them.
  const std::string calls = FileBytes(kBin + "repair-calls.log");
  const auto mend = calls.find("gfix\t-mend\t127.0.0.1/3050:" + kWork);
  const auto check = calls.find("gfix\t-v\t-full");
  const auto backup = calls.find("gbak\t-b\t-v\t-ig\t-g\t-se\t127.0.0.1/3050:service_mgr\t" +
                                 kWork + "\t" + kBackup + "\n");
  const auto restore = calls.find("gbak\t-c\t-v\t-se\t127.0.0.1/3050:service_mgr\t" + kBackup +
                                  "\t" + kRestored + "\n");
  // The login travels in the tools' environment, never among their arguments.
  EXPECT_EQ(calls.find("-pass"), std::string::npos) << calls;
  const auto proof = calls.find("gfix\t-v\t-full\t127.0.0.1/3050:" + kRestored);
  EXPECT_TRUE(mend < check && check < backup && backup < restore && restore < proof) << calls;
  EXPECT_NE(proof, std::string::npos) << "the restored file was not validated";
}

TEST_F(RepairUnderWindows, ARestoredFileTheValidationCondemnsDoesNotReplaceTheDatabase) {
  ASSERT_TRUE(testsupport::PutFile(kBin + "repair.script", Script(0, /*restoredDamaged=*/true)));
  ScriptedDialogs dialogs;
  dialogs.Save(kCopy);
  const auto error = Run(dialogs);

  const std::string message = scenarios::NotProvenText(kFiles, kSessionLog, kServerLog);
  ASSERT_TRUE(error) << "the repair reported success";
  EXPECT_EQ(*error, message);
  EXPECT_EQ(FileBytes(kDb), kDamaged);
  EXPECT_EQ(FileBytes(kRestored), kRebuilt);
  EXPECT_EQ(FileBytes(kCopy), kDamaged);
  // A condemned file is neither counted nor put in place.
  auto expected =
      scenarios::RecordsThroughRestore(kFiles, RowCounting::NoClientLibrary, Recheck::Clean);
  expected.push_back("Проверка восстановленной базы данных не пройдена:\r\n*");
  expected.push_back(scenarios::FailureRecord(message));
  EXPECT_TRUE(RecordsAre(Records(), expected));
}

const std::string kInUse = scenarios::InUseText();

// An earlier copy at the chosen path stays as it was when the database is held open with no
// sharing at all (nothing is copied then), and when another program has the earlier copy
// open: it cannot be kept under its date and time, so the new copy may not take its name.
TEST_F(RepairUnderWindows, AFailedSafetyCopyKeepsTheEarlierCopyAsItWas) {
  ASSERT_TRUE(testsupport::PutFile(kBin + "repair.script", Script(0)));
  ASSERT_TRUE(testsupport::PutFile(kCopy, "an old copy"));
  {
    HANDLE locked = CreateFileW(os::win::ToWide(kDb).c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    ScriptedDialogs dialogs;
    dialogs.Save(kCopy);
    const auto error = Run(dialogs);
    CloseHandle(locked);
    EXPECT_EQ(error, kInUse);
    EXPECT_EQ(FileBytes(kCopy), "an old copy");
    EXPECT_EQ(testsupport::FolderNames(kCopyFolder), std::vector<std::string>{"VELMAR_BACKUP.FDB"});
  }
  testsupport::HeldFile earlier;
  ASSERT_TRUE(earlier.Hold(kCopy));
  ScriptedDialogs dialogs;
  dialogs.Save(kCopy);
  const auto error = Run(dialogs);
  ASSERT_TRUE(error) << "an earlier copy held open elsewhere was replaced";
  EXPECT_EQ(error->rfind("Не удалось сохранить прежнюю копию \"" + kCopy + "\" под именем \"", 0),
            0u)
      << *error;
  EXPECT_EQ(FileBytes(kCopy), "an old copy");
  EXPECT_EQ(testsupport::FolderNames(kCopyFolder), std::vector<std::string>{"VELMAR_BACKUP.FDB"})
      << "the new copy was left beside the old one";
  EXPECT_EQ(FileBytes(kDb), kDamaged) << "the database is not back at its path";
  EXPECT_FALSE(os::FileExists(kWork));
}

// The rebuild deletes files of its own beside the database: neither the safety copy nor the
// database may bear such a name.
TEST_F(RepairUnderWindows, TheRepairsOwnFileNamesAreRefused) {
  ASSERT_TRUE(testsupport::PutFile(kBin + "repair.script", Script(0)));
  ScriptedDialogs dialogs;
  dialogs.Save("c:\\kora\\db\\repairtest\\velmar.DB_RESTORED1");
  EXPECT_EQ(Run(dialogs),
            "Нельзя сохранить копию в файл \"c:\\kora\\db\\repairtest\\velmar.DB_RESTORED1\"!\r\n"
            "Файл с таким именем программа создает при ремонте и затем удаляет.\r\n"
            "Укажите другое имя файла.");
  EXPECT_FALSE(os::FileExists(kRestored));

  const std::string named = kDataDir + "\\VELMAR.db_backup1";
  ASSERT_TRUE(testsupport::PutFile(named, kDamaged));
  ScriptedDialogs none;  // no dialog may open
  WorkflowContext context{none, [named] { return named; }};
  try {
    RepairDatabase(context);
    ADD_FAILURE() << "a database named like the intermediate backup was repaired";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(),
              "Нельзя ремонтировать файл \"" + named +
                  "\"!\r\n"
                  "Файл с таким именем программа создает при ремонте и затем удаляет.\r\n"
                  "Переименуйте файл базы данных и повторите ремонт.");
  }
  EXPECT_EQ(FileBytes(named), kDamaged);
  EXPECT_TRUE(none.Events().empty());
}

// Another program holding the database keeps it where it is: nothing is copied or mended.
TEST_F(RepairUnderWindows, ADatabaseHeldOpenElsewhereIsLeftAsItIs) {
  ASSERT_TRUE(testsupport::PutFile(kBin + "repair.script", Script(0)));
  testsupport::HeldFile held;
  ASSERT_TRUE(held.Hold(kDb));
  ScriptedDialogs dialogs;
  dialogs.Save(kCopy);
  const auto error = Run(dialogs);

  EXPECT_EQ(error, kInUse);
  EXPECT_EQ(FileBytes(kDb), kDamaged);
  EXPECT_FALSE(os::FileExists(kCopy));
  EXPECT_FALSE(os::FileExists(kWork));
  EXPECT_FALSE(os::FileExists(kRestored));
  EXPECT_TRUE(RecordsAre(Records(), scenarios::RefusedRecords(kDb, kInUse)));
}

TEST_F(RepairUnderWindows, ARebuiltFileHeldOpenElsewhereIsLeftBesideTheSafetyCopy) {
  // The restore keeps running for a while after writing its file: long enough for the other
  // program to open it.
  ASSERT_TRUE(testsupport::PutFile(kBin + "repair.script", Script(1500)));
  testsupport::HeldFile held;
  SetViewerCycleHook([&held](TProgressViewer& viewer) {
    if (held.handle == INVALID_HANDLE_VALUE &&
        viewer.GetCaption() == "Восстановление из резервной копии..." && os::FileExists(kRestored))
      held.Hold(kRestored);
  });
  ScriptedDialogs dialogs;
  dialogs.Save(kCopy).Box(DialogResult::No).Box(DialogResult::Ok, scenarios::UncountedBox());
  const auto error = Run(dialogs);
  SetViewerCycleHook(nullptr);

  ASSERT_NE(held.handle, INVALID_HANDLE_VALUE) << "the rebuilt file was never held open";
  const std::string message =
      "Восстановление базы данных завершено! Однако Вам придется\r\n"
      "самостоятельно удалить старый файл \"" +
      kDb +
      "\" и поместить на его\r\n"
      "место новый файл \"" +
      kRestored +
      "\". При этом файл необходимо переименовать!\r\n"
      "В результате имя файла должно быть: " +
      kDb;
  ASSERT_TRUE(error) << "the repair reported success";
  EXPECT_EQ(*error, message);
  ASSERT_EQ(dialogs.Boxes().size(), 2u);
  EXPECT_EQ(
      dialogs.Boxes()[0].text.rfind("Не удалось поместить восстановленный файл \"" + kRestored, 0),
      0u);
  EXPECT_EQ(FileBytes(kDb), kDamaged) << "the database is not back at its path";
  EXPECT_EQ(FileBytes(kRestored), kRebuilt);
  EXPECT_EQ(FileBytes(kCopy), kDamaged);
  auto expected = UpToReplacement();
  expected.push_back(scenarios::FailureRecord(message));
  EXPECT_TRUE(RecordsAre(Records(), expected));
}

// A repair that failed after its mend, then a second one: the operator is told first, and the
// copy of the original is kept beside the new one under its date and time.
TEST_F(RepairUnderWindows, ASecondRepairAfterAFailedOneKeepsBothCopies) {
  ASSERT_TRUE(testsupport::PutFile(kBin + "repair.script", Script(0, /*restoredDamaged=*/true)));
  ScriptedDialogs first;
  first.Save(kCopy);
  ASSERT_TRUE(Run(first));
  ASSERT_TRUE(testsupport::PutFile(kDb, "mended database\r\n"));
  ASSERT_TRUE(testsupport::PutFile(kBin + "repair.script", Script(0)));
  ScriptedDialogs second;
  second
      .Box(DialogResult::Yes, {.textContains = "Предыдущий ремонт этой базы данных не был "
                                               "завершен.\r\n",
                               .defaultButton = 1})
      .Save(kCopy)
      .Box(DialogResult::Ok, scenarios::SuccessBox())
      .Box(DialogResult::Ok, scenarios::UncountedBox());
  ASSERT_EQ(Run(second), std::nullopt) << second.Transcript();
  EXPECT_EQ(FileBytes(kCopy), "mended database\r\n");
  const std::vector<std::string> names = testsupport::FolderNames(kCopyFolder);
  ASSERT_EQ(names.size(), 2u);
  const std::string kept = names[0] == "VELMAR_BACKUP.FDB" ? names[1] : names[0];
  EXPECT_EQ(FileBytes("C:\\Kora\\Backup\\FireBirdBase\\" + kept), kDamaged);
}

// The process ended (a kill, a power cut; the Linux suite kills it through the step seam)
// with the database under its work name: the next start puts it back and removes the
// scripts, which hold the password.
TEST_F(RepairUnderWindows, ADatabaseLeftUnderItsWorkNameIsPutRightAtTheNextStart) {
  const std::string script = paths::WorkDirectory() + "DBRepairBat9.bat";
  ASSERT_TRUE(os::ForceDirectories(paths::WorkDirectory()));
  ASSERT_TRUE(testsupport::PutFile(script, "gbak -pass secret\r\n"));
  ASSERT_TRUE(os::RenameFile(kDb, kWork));

  ScriptedDialogs atStart;
  atStart.Box(DialogResult::Ok, {.textContains = "Файл базы данных возвращен на место:\r\n" + kDb});
  CheckRepairLeftovers(atStart, kDb);
  EXPECT_EQ(FileBytes(kDb), kDamaged);
  EXPECT_FALSE(os::FileExists(kWork));
  EXPECT_FALSE(os::FileExists(script));
}

}  // namespace

namespace {

// Other spellings of the database's own file, as the save dialog may hand them back.
TEST_F(RepairUnderWindows, EverySpellingOfTheDatabaseItselfIsRefused) {
  ASSERT_TRUE(testsupport::PutFile(kBin + "repair.script", Script(0)));
  std::vector<std::string> spellings = {
      "c:\\kora\\db\\repairtest\\velmar.fdb",
      "C:/KORA/DB/REPAIRTEST/VELMAR.FDB",
      "C:\\KORA\\DB\\REPAIRTEST\\..\\REPAIRTEST\\.\\VELMAR.FDB",
  };
  wchar_t shortName[MAX_PATH] = {};
  if (GetShortPathNameW(os::win::ToWide(kDataDir).c_str(), shortName, MAX_PATH) > 0) {
    std::string ascii;
    for (const wchar_t* c = shortName; *c; ++c)
      ascii += static_cast<char>(*c);
    if (ascii != kDataDir)
      spellings.push_back(ascii + "\\VELMAR.FDB");
  }
  for (const std::string& chosen : spellings) {
    ScriptedDialogs dialogs;
    dialogs.Save(chosen);
    EXPECT_EQ(Run(dialogs), scenarios::SelfCopyText()) << chosen;
    EXPECT_EQ(FileBytes(kDb), kDamaged) << chosen;
  }
}

}  // namespace

namespace {

using testsupport::DamageKind;

constexpr int kRows = 3000;

// The suite with the server's own tools: the bridges at the tools' paths, the library
// answering the private server's password and port, and no database yet.
class RepairWithTheServersTools : public RepairUnderWindows {
 protected:
  void SetUp() override {
    RepairUnderWindows::SetUp();
    if (HasFatalFailure())
      return;
    auto server = testsupport::FbTestServer::FromEnvironment();
    ASSERT_TRUE(server) << "the private Firebird server is not running ($VELMAR_FB_DIR)";
    server_ = *server;
    for (const char* tool : {"gfix.exe", "gbak.exe"}) {
      ASSERT_TRUE(os::RemoveFile(kBin + tool));
      ASSERT_TRUE(
          os::CopyFileNoReplace(os::ProgramDirectory() + "hostbridge\\" + tool, kBin + tool))
          << tool;
    }
    ASSERT_TRUE(testsupport::PutFile("C:\\KORA\\fbUtils.ini",
                                     testsupport::SuiteLibraryIni(server_.password, server_.port)));
    os::RemoveFile(kDb);
  }

  // The test shop at `path`, damaged as `kind` says; its bytes as damaged.
  std::string MakeDamaged(const std::string& path, DamageKind kind) {
    // The damage kit reads pages through narrow paths: it works on the plain name, and the
    // file is moved to its own name after.
    testsupport::CreateTestDatabase(server_, kDb, kRows, /*blobs=*/false);
    testsupport::Damage(server_, kDb, kind);
    if (path != kDb) {
      EXPECT_TRUE(os::ForceDirectories(os::ExtractFileDir(path)));
      os::RemoveFile(path);
      EXPECT_TRUE(os::RenameFile(kDb, path)) << path;
    }
    return FileBytes(path);
  }

  testsupport::FbTestServer server_;
};

// Without the client library, unreadable fields are not searched for when a backup stops.
const std::string kBlobsUnsearched = "Не удалось найти нечитаемые поля в записях: *";

// The table's repairs as the Wine runner runs them: the server's own tools, no client library,
// so no table is counted and the box after the success box says the rows were not checked.
class RepairOfDamage : public RepairWithTheServersTools,
                       public ::testing::WithParamInterface<scenarios::RepairScenario> {};

TEST_P(RepairOfDamage, ReplacesTheDatabaseWithAValidRebuildAndKeepsTheDamagedCopy) {
  const scenarios::RepairScenario& scenario = GetParam();
  const std::string folder = scenario.folder.empty() ? kDataDir : kDataDir + "\\" + scenario.folder;
  const std::string copyName = scenarios::OfferedCopyName(scenario.fileName);
  const scenarios::RepairFiles files{folder + "\\" + scenario.fileName,
                                     "C:\\Kora\\Backup\\FireBirdBase\\" + copyName};
  os::RemoveFile(files.copy);
  const std::string damaged = MakeDamaged(files.database, scenario.damage);
  const auto identityBefore = os::IdentityOf(files.database);
  ScriptedDialogs dialogs;
  dialogs.Save(files.copy)
      .Box(DialogResult::Ok, scenarios::SuccessBox())
      .Box(DialogResult::Ok, scenarios::UncountedBox());
  const auto error = Run(dialogs, files.database);

  ASSERT_FALSE(error) << *error << "\n" << dialogs.Transcript();
  const auto saves = dialogs.SaveRequests();
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_EQ(saves[0].settings.initialDir, "C:\\Kora\\Backup\\FireBirdBase");
  EXPECT_EQ(saves[0].settings.fileName, copyName);
  EXPECT_NE(os::IdentityOf(files.database), identityBefore) << "the database was not replaced";
  const testsupport::ToolResult validation = testsupport::ValidateFull(server_, files.database);
  EXPECT_TRUE(testsupport::IsBlank(validation.out + validation.err))
      << "the replaced file does not validate clean:\n"
      << validation.out << validation.err;
  EXPECT_EQ(testsupport::CountRows(server_, files.database, "CUSTOMERS"), kRows);
  EXPECT_EQ(FileBytes(files.copy), damaged) << "the safety copy is not the damaged file";
  EXPECT_FALSE(os::FileExists(files.Restored()));
  EXPECT_FALSE(os::FileExists(files.Backup()));
  EXPECT_FALSE(os::FileExists(paths::ToolLog()));
  EXPECT_TRUE(RecordsAre(
      Records(),
      scenarios::SuccessRecords(files, RowCounting::NoClientLibrary, Recheck::MayFindDamage),
      {scenarios::RecheckDone()}));
}

INSTANTIATE_TEST_SUITE_P(
    Repairable, RepairOfDamage,
    ::testing::ValuesIn(scenarios::RepairScenariosOn(scenarios::Platform::Windows)),
    [](const auto& info) { return std::string(info.param.name); });

// Another program has the database attached: the repair stops and touches nothing. On Windows
// the server holds the file open for writing, and the safety copy is refused first. The host's
// server is outside Wine's share checks, and Wine's copy lets others write where Windows's
// does not: a handle of the test that shares nothing plays the server's here.
TEST_F(RepairWithTheServersTools, ADatabaseAnotherProgramHasAttachedStopsTheRepair) {
  MakeDamaged(kDb, DamageKind::RecordGarbage);
  testsupport::HeldSession session;
  ASSERT_TRUE(session.Attach(server_, kDb)) << session.Output();
  const auto identityBefore = os::IdentityOf(kDb);
  HANDLE held = CreateFileW(os::win::ToWide(kDb).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ScriptedDialogs dialogs;
  dialogs.Save(kCopy);
  const auto error = Run(dialogs);
  CloseHandle(held);

  const std::string message = scenarios::InUseText();
  ASSERT_TRUE(error) << "the repair went through under the other program";
  EXPECT_EQ(*error, message);
  EXPECT_TRUE(session.End()) << "isql did not leave at the end of its input:\n" << session.Output();
  EXPECT_TRUE(identityBefore && os::IdentityOf(kDb) == identityBefore)
      << "the database file was replaced";
  EXPECT_EQ(testsupport::CountRows(server_, kDb, "CUSTOMERS"), kRows);
  EXPECT_FALSE(os::FileExists(kCopy));
  EXPECT_FALSE(os::FileExists(kBackup));
  EXPECT_FALSE(os::FileExists(kRestored));
  EXPECT_TRUE(RecordsAre(Records(), scenarios::RefusedRecords(kDb, message)));
}

TEST_F(RepairWithTheServersTools, AZeroedPointerPageStopsAtTheBackupAndLeavesTheDatabase) {
  const std::string damaged = MakeDamaged(kDb, DamageKind::ZeroPointerPage);
  const auto identityBefore = os::IdentityOf(kDb);
  ScriptedDialogs dialogs;
  dialogs.Save(kCopy);
  const auto error = Run(dialogs);

  const std::string message = scenarios::BackupFailedText(kSessionLog, kServerLog);
  ASSERT_TRUE(error) << "the repair of a zeroed pointer page reported success";
  EXPECT_EQ(*error, message);
  EXPECT_TRUE(os::FileExists(kDb));
  EXPECT_TRUE(identityBefore && os::IdentityOf(kDb) == identityBefore)
      << "the database file was replaced";
  EXPECT_EQ(testsupport::CountRows(server_, kDb, "CUSTOMERS"), kRows);
  EXPECT_EQ(FileBytes(kCopy), damaged);
  EXPECT_FALSE(os::FileExists(kBackup));
  EXPECT_FALSE(os::FileExists(kRestored));
  EXPECT_FALSE(os::FileExists(paths::ToolLog()));
  const std::vector<std::string> records = Records();
  // The offer of the other tables counts the rows once more: the counts' records (none can be
  // counted here) are left out of the comparison.
  auto expected =
      scenarios::RecordsUpToBackup(kFiles, RowCounting::Counted, Recheck::MayFindDamage);
  expected.push_back(scenarios::BackupUnfinishedRecord());
  expected.push_back(scenarios::FailureRecord(message));
  EXPECT_TRUE(RecordsAre(
      records, expected,
      {scenarios::RecheckDone(), "Не удалось подсчитать записи в таблицах*", kBlobsUnsearched}));
  // gbak's own words reached the session log through the batch file's redirection.
  const auto toolLog = std::find_if(records.begin(), records.end(), [](const std::string& r) {
    return r.starts_with("Лог резервной копии не содержит");
  });
  ASSERT_NE(toolLog, records.end());
  EXPECT_NE(toolLog->find("gbak: ERROR:"), std::string::npos) << *toolLog;
}

// A blob page zeroed after the mend stops the backup with the real gbak; the fields that cannot
// be read are searched for through the client library, which is not there: the repair ends as
// before, and the log says why nothing was offered.
TEST_F(RepairWithTheServersTools, UnreadableBlobsWithoutTheClientLibraryEndAsBefore) {
  testsupport::CreateTestDatabase(server_, kDb, kRows, /*blobs=*/true);
  SetRepairStepHook([this](const std::string& step) {
    if (step == "rebuild")
      testsupport::Damage(server_, kWork, DamageKind::ZeroBlobPage);
  });
  ScriptedDialogs dialogs;
  dialogs.Save(kCopy);
  const auto error = Run(dialogs);
  SetRepairStepHook({});

  ASSERT_TRUE(error);
  EXPECT_EQ(error->rfind("Не удалось сделать резервную копию базы данных!\r\n", 0), 0u) << *error;
  EXPECT_TRUE(dialogs.Boxes().empty()) << dialogs.Transcript();
  const std::vector<std::string> records = Records();
  EXPECT_NE(std::find_if(records.begin(), records.end(),
                         [](const std::string& r) {
                           return r.starts_with("Не удалось найти нечитаемые поля в записях: ");
                         }),
            records.end())
      << ::testing::PrintToString(records);
}

// Rows referring to rows the mend dropped stop the restore. The rows are mended through the
// server's client library, which a machine without it (as here, under Wine) cannot load: the
// repair ends as before, with the database in place.
TEST_F(RepairWithTheServersTools, LostReferencedRowsWithoutTheClientLibraryEndAsBefore) {
  MakeDamaged(kDb, DamageKind::LostReferencedRows);
  const auto identityBefore = os::IdentityOf(kDb);
  ScriptedDialogs dialogs;
  dialogs.Save(kCopy);
  const auto error = Run(dialogs);

  ASSERT_TRUE(error);
  EXPECT_EQ(error->rfind("Не удалось восстановить базу данных из резервной копии!\r\n", 0), 0u)
      << *error;
  EXPECT_TRUE(identityBefore && os::IdentityOf(kDb) == identityBefore);
  const std::vector<std::string> records = Records();
  EXPECT_NE(std::find(records.begin(), records.end(),
                      "Восстановление остановилось на ключах или ссылках между таблицами; база "
                      "данных будет восстановлена с неактивными индексами"),
            records.end());
  EXPECT_NE(std::find_if(records.begin(), records.end(),
                         [](const std::string& r) {
                           return r.starts_with("Не удалось прочитать индексы базы данных: ");
                         }),
            records.end());
}

}  // namespace
