// The repair in the Windows build, run under Wine with the stand-in gfix and gbak at the
// suite's own paths under C:\KORA: a full repair to the success box, the exact paths the
// messages name, and the two replacement failures with files held open as another program
// would hold them (no delete sharing).
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/CodePage.h"
#include "os/Environment.h"
#include "os/Files.h"
#include "progress/ProgressViewer.h"
#include "repair/RepairWorkflow.h"
#include "server/FBUtils.h"
#include "server/FixedPaths.h"
#include "tests/repair/LogRecords.h"
#include "tests/support/ProgramUnits.h"
#include "tests/support/ScriptedDialogs.h"

using repairtest::RecordsAre;

namespace {

const std::string kDataDir = "C:\\KORA\\DB\\REPAIRTEST";
const std::string kDb = kDataDir + "\\VELMAR.FDB";
const std::string kBackup = kDataDir + "\\VELMAR.db_backup1";
const std::string kRestored = kDataDir + "\\VELMAR.db_restored1";
const std::string kCopy = "C:\\Kora\\Backup\\FireBirdBase\\VELMAR_BACKUP.FDB";
const std::string kBin = "C:\\KORA\\FIREBIRD\\bin\\";
const std::string kDamaged = "damaged database\r\n";
const std::string kRebuilt = "rebuilt database\r\n";

std::wstring Wide(const std::string& ascii) {
  return std::wstring(ascii.begin(), ascii.end());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::string ReadFile(const std::string& path) {
  return os::FileExists(path) ? os::ReadWholeFile(path) : "<missing>";
}

// A handle as another program holds a file it uses: others may read and write, not delete.
struct HeldFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool Hold(const std::string& path) {
    handle = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle != INVALID_HANDLE_VALUE;
  }
  ~HeldFile() {
    if (handle != INVALID_HANDLE_VALUE)
      CloseHandle(handle);
  }
};

// The stand-in tools: the mend and the re-check find nothing; gbak writes its files and the
// end markers the real one writes on its standard output.
std::string Script(int restoreMs, bool backupFinishes = true) {
  std::string script =
      "[gfix -mend]\nexit: 0\n"
      "[gfix -v -full]\nexit: 0\n"
      "[gbak -b -se]\nfile: {arg:8}\nline: backup\n";
  if (backupFinishes) {
    script += "out: gbak:closing file, committing, and finishing. 1536 bytes written\n";
  } else {
    script += "err: gbak: ERROR:Error reading data from the connection.\n";
  }
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
         {kDb, kBackup, kRestored, kCopy, paths::ToolLog(), paths::SessionLogFile(),
          kBin + "gfix.exe", kBin + "gbak.exe", kBin + "repair-calls.log"})
      os::RemoveFile(stale);
    const std::string standin = os::ProgramDirectory() + VELMAR_STANDIN_EXE;
    ASSERT_TRUE(os::CopyFileNoReplace(standin, kBin + "gfix.exe")) << standin;
    ASSERT_TRUE(os::CopyFileNoReplace(standin, kBin + "gbak.exe"));
    os::RemoveFile(paths::SuiteLibrary());
    ASSERT_TRUE(
        os::CopyFileNoReplace(os::ProgramDirectory() + "fbUtils.dll", paths::SuiteLibrary()));
    WriteFile("C:\\KORA\\fbUtils.ini", "[Common]\r\nPassword=standin\r\nPort=3050\r\n");
    os::SetEnv("VELMAR_STANDIN_SCRIPT", kBin + "repair.script");
    os::SetEnv("VELMAR_STANDIN_LOG", kBin + "repair-calls.log");
    WriteFile(kDb, kDamaged);

    ASSERT_TRUE(units_.Start());
  }

  void TearDown() override { units_.Stop(); }

  std::optional<std::string> Run(ScriptedDialogs& dialogs) {
    WorkflowContext context{dialogs, [] { return kDb; }};
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

  static BoxExpectation SuccessBox() {
    BoxExpectation box;
    box.caption = "Информация";
    box.text = "Восстановление базы данных УСПЕШНО ЗАВЕРШЕНО!";
    box.buttons = DialogButtons::Ok;
    box.icon = DialogIcon::Information;
    return box;
  }

  static std::vector<std::string> UpToReplacement() {
    return {
        "Начало ремонта базы данных: " + kDb,
        "Сделана копия файла базы данных: " + kCopy,
        "Будет сделана маркировка поврежденных страниц",
        "Маркировка поврежденных страниц завершена",
        "Будет сделана повторная проверка с помощью gfix",
        "Повторная проверка завершена",
        "Будет сделана резервная копия базы данных",
        "Создание резервной копии успешно завершено",
        "Будет выполнено восстановление базы данных из резервной копии",
        "Восстановление из резервной копии прошло успешно!",
        "Будет выполнена попытка заменить файл \"" + kDb + "\" на \"" + kRestored + "\"",
    };
  }

  testsupport::ProgramUnits units_;
};

TEST_F(RepairUnderWindows, AFullRepairEndsWithTheSuccessBoxAndTheRebuiltFileInPlace) {
  WriteFile(kBin + "repair.script", Script(0));
  ScriptedDialogs dialogs;
  dialogs.Save(kCopy).Box(DialogResult::Ok, SuccessBox());
  const auto error = Run(dialogs);

  ASSERT_FALSE(error) << *error;
  const auto saves = dialogs.SaveRequests();
  ASSERT_EQ(saves.size(), 1u);
  EXPECT_EQ(saves[0].settings.initialDir, "C:\\Kora\\Backup\\FireBirdBase");
  EXPECT_EQ(saves[0].settings.fileName, "VELMAR_BACKUP.FDB");
  EXPECT_EQ(ReadFile(kDb), kRebuilt);
  EXPECT_EQ(ReadFile(kCopy), kDamaged);
  EXPECT_FALSE(os::FileExists(kBackup));
  EXPECT_FALSE(os::FileExists(kRestored));
  EXPECT_FALSE(os::FileExists(paths::ToolLog()));
  auto expected = UpToReplacement();
  expected.push_back("Файл успешно удален: " + kDb);
  expected.push_back("Файл \"" + kRestored + "\" успешно переименован в \"" + kDb + "\"");
  expected.push_back("Ремонт базы данных успешно завершен!");
  EXPECT_TRUE(RecordsAre(Records(), expected));
  // The tools ran in the repair's order, each addressing the local server; gbak through its
  // service manager, with the files as the server names them.
  const std::string calls = ReadFile(kBin + "repair-calls.log");
  const auto mend = calls.find("gfix\t-mend\t127.0.0.1/3050:" + kDb);
  const auto check = calls.find("gfix\t-v\t-full");
  const auto backup = calls.find("gbak\t-b\t-v\t-ig\t-g\t-se\t127.0.0.1/3050:service_mgr\t" + kDb +
                                 "\t" + kBackup + "\t-user\tSYSDBA\t-pass\tstandin\n");
  const auto restore = calls.find("gbak\t-c\t-v\t-se\t127.0.0.1/3050:service_mgr\t" + kBackup +
                                  "\t" + kRestored + "\t-user\tSYSDBA\t-pass\tstandin\n");
  EXPECT_TRUE(mend < check && check < backup && backup < restore) << calls;
}

TEST_F(RepairUnderWindows, AnUnfinishedBackupSendsTheOperatorToTheSuiteLogs) {
  WriteFile(kBin + "repair.script", Script(0, /*backupFinishes=*/false));
  ScriptedDialogs dialogs;
  dialogs.Save(kCopy);
  const auto error = Run(dialogs);

  ASSERT_TRUE(error);
  EXPECT_EQ(*error,
            "Не удалось сделать резервную копию базы данных!\r\n"
            "Вероятно база данных серьезно повреждена.\r\n"
            "Подробности смотрите в логах:\r\n"
            "C:\\KORA\\LogFiles\\VelmarDBRepair.log\r\n"
            "C:\\KORA\\FIREBIRD\\firebird.log");
  EXPECT_EQ(ReadFile(kDb), kDamaged);
  EXPECT_FALSE(os::FileExists(kBackup));
  EXPECT_FALSE(os::FileExists(paths::ToolLog()));
}

TEST_F(RepairUnderWindows, ADatabaseHeldOpenElsewhereIsLeftAndTheRebuiltFileKept) {
  WriteFile(kBin + "repair.script", Script(0));
  HeldFile held;
  ASSERT_TRUE(held.Hold(kDb));
  ScriptedDialogs dialogs;
  dialogs.Save(kCopy);
  const auto error = Run(dialogs);

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
  EXPECT_EQ(ReadFile(kDb), kDamaged);
  EXPECT_EQ(ReadFile(kRestored), kRebuilt);
  EXPECT_EQ(ReadFile(kCopy), kDamaged);
  EXPECT_FALSE(os::FileExists(kBackup));
  EXPECT_FALSE(os::FileExists(paths::ToolLog()));
  auto expected = UpToReplacement();
  expected.push_back("Ошибка функции ремонта базы данных: " + message);
  EXPECT_TRUE(RecordsAre(Records(), expected));
}

TEST_F(RepairUnderWindows, ARebuiltFileHeldOpenElsewhereIsLeftBesideTheSafetyCopy) {
  // The restore keeps running for a while after writing its file: long enough for the other
  // program to open it.
  WriteFile(kBin + "repair.script", Script(1500));
  HeldFile held;
  SetViewerCycleHook([&held](TProgressViewer& viewer) {
    if (held.handle == INVALID_HANDLE_VALUE &&
        viewer.GetCaption() == "Восстановление из резервной копии..." && os::FileExists(kRestored))
      held.Hold(kRestored);
  });
  ScriptedDialogs dialogs;
  dialogs.Save(kCopy);
  const auto error = Run(dialogs);
  SetViewerCycleHook(nullptr);

  ASSERT_NE(held.handle, INVALID_HANDLE_VALUE) << "the rebuilt file was never held open";
  const std::string message =
      "Восстановление базы данных завершено! Однако Вам придется\r\n"
      "самостоятельно переименовать файл \"" +
      kRestored +
      "\".\r\n"
      "В результате имя файла должно быть: " +
      kDb;
  ASSERT_TRUE(error) << "the repair reported success";
  EXPECT_EQ(*error, message);
  EXPECT_FALSE(os::FileExists(kDb));
  EXPECT_EQ(ReadFile(kRestored), kRebuilt);
  EXPECT_EQ(ReadFile(kCopy), kDamaged) << "neither the database nor its copy would be left";
  auto expected = UpToReplacement();
  expected.push_back("Файл успешно удален: " + kDb);
  expected.push_back("Ошибка функции ремонта базы данных: " + message);
  EXPECT_TRUE(RecordsAre(Records(), expected));
}

}  // namespace

namespace {

// Other spellings of the database's own file, as the save dialog may hand them back.
TEST_F(RepairUnderWindows, EverySpellingOfTheDatabaseItselfIsRefused) {
  WriteFile(kBin + "repair.script", Script(0));
  std::vector<std::string> spellings = {
      "c:\\kora\\db\\repairtest\\velmar.fdb",
      "C:/KORA/DB/REPAIRTEST/VELMAR.FDB",
      "C:\\KORA\\DB\\REPAIRTEST\\..\\REPAIRTEST\\.\\VELMAR.FDB",
  };
  wchar_t shortName[MAX_PATH] = {};
  if (GetShortPathNameW(Wide(kDataDir).c_str(), shortName, MAX_PATH) > 0) {
    std::string ascii;
    for (const wchar_t* c = shortName; *c; ++c)
      ascii += static_cast<char>(*c);
    if (ascii != kDataDir)
      spellings.push_back(ascii + "\\VELMAR.FDB");
  }
  for (const std::string& chosen : spellings) {
    ScriptedDialogs dialogs;
    dialogs.Save(chosen);
    EXPECT_EQ(Run(dialogs), "Нельзя копировать файл сам в себя!!!") << chosen;
    EXPECT_EQ(ReadFile(kDb), kDamaged) << chosen;
  }
}

}  // namespace
