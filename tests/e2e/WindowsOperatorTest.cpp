// The real program of the Windows build under Wine, worked by an operator at the test display.
// No server runs under Wine: gfix and gbak at the suite's paths are the scripted stand-in, the
// suite library is its stand-in, and the trial backup fails for want of a client library.
// Every test owns C:\KORA and the stored file name, and leaves neither behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "os/win/Wide.h"
#include "tests/e2e/OperatorSession.h"
#include "tests/e2e/SessionRecords.h"

namespace fs = std::filesystem;
using namespace e2e;

namespace {

const std::string kKora = "C:\\KORA";
const std::string kBin = kKora + "\\FIREBIRD\\bin\\";
const std::string kDb = kKora + "\\DB\\VELMAR.FDB";
const std::string kSessionLog = kKora + "\\LogFiles\\VelmarDBRepair.log";
const std::string kSafetyCopy = "C:\\Kora\\Backup\\FireBirdBase\\VELMAR_BACKUP.FDB";
const std::string kDamaged = "damaged database\r\n";
const std::string kRebuilt = "rebuilt database\r\n";

std::string ReadBytes(const std::string& path) {
  std::ifstream in(fs::path(os::win::ToWide(path)), std::ios::binary);
  if (!in)
    return "<missing>";
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(os::win::ToWide(path)).parent_path());
  std::ofstream(fs::path(os::win::ToWide(path)), std::ios::binary) << bytes;
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::path(os::win::ToWide(path)), ignored);
}

// The text of the system's message box with this caption: its static text control.
std::string MessageBoxText(const std::string& caption) {
  HWND box = FindWindowW(L"#32770", os::win::ToWide(caption).c_str());
  if (!box)
    return "<no message box>";
  wchar_t text[8192] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 8192);
  return os::win::FromWide(text);
}

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z')
      c = char(c - 'A' + 'a');
  }
  return text;
}

std::string BinFile(const std::string& name) {
  const char* bin = std::getenv("VELMAR_BIN_DIR");
  return LocalPath(std::string(bin ? bin : "") + "/" + name);
}

void ForgetEverything() {
  std::error_code ignored;
  fs::remove_all(fs::path(os::win::ToWide(kKora)), ignored);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Norwin\\Velmar\\VelmarDBRepair");
}

class WindowsOperator : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetEverything();
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    session_ = std::make_unique<OperatorSession>(
        name, std::vector<std::string>{"VELMAR_STANDIN_SCRIPT=" + kBin + "standin.script",
                                       "VELMAR_STANDIN_LOG=" + kBin + "calls.log"});
  }

  void TearDown() override {
    session_.reset();
    std::error_code ignored;
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::copy_file(fs::path(os::win::ToWide(kSessionLog)),
                  fs::path(os::win::ToWide(
                      LocalPath(ArtifactFolder() + "/windows-" + name + "-session.log"))),
                  fs::copy_options::overwrite_existing, ignored);
    ForgetEverything();
  }

  // The suite as the program finds it: the library, the stand-in tools and their script.
  void InstallSuite(const std::string& script) {
    fs::create_directories(fs::path(os::win::ToWide(kBin)));
    fs::copy_file(fs::path(os::win::ToWide(BinFile("fbUtils.dll"))),
                  fs::path(os::win::ToWide(kKora + "\\fbUtils.dll")));
    WriteBytes(kKora + "\\fbUtils.ini", "[Common]\r\nPassword=standin\r\nPort=3050\r\n");
    for (const char* tool : {"gfix.exe", "gbak.exe"})
      fs::copy_file(fs::path(os::win::ToWide(BinFile("standin_tool.exe"))),
                    fs::path(os::win::ToWide(kBin + tool)));
    WriteBytes(kBin + "standin.script", script);
    WriteBytes(kDb, kDamaged);
  }

  std::vector<SessionRecord> RunRecords() const {
    return LastRun(ParseSessionLog(ReadSessionLog(kSessionLog)));
  }

  void StartProgram() {
    ASSERT_TRUE(session_->Start(BinFile("VelmarDBRepair.exe"))) << "the main window did not open";
  }

  // Waits for the next box, checks its caption, gives its text and answers it with `keys`.
  std::string ExpectBox(const std::string& caption, const std::string& keys) {
    std::optional<ScreenWindow> box = session_->NextBox();
    if (!box) {
      ADD_FAILURE() << "no box came; expected \"" << caption << "\"\n" << Dump(RunRecords());
      return "";
    }
    EXPECT_EQ(box->title, caption) << Dump(RunRecords());
    const std::string text = MessageBoxText(box->title);
    EXPECT_TRUE(session_->Answer(*box, keys)) << "the box \"" << caption << "\" stayed";
    return text;
  }

  void CloseProgram() {
    EXPECT_EQ(session_->Close(), std::optional<int>(0));
    const std::vector<SessionRecord> records = ParseSessionLog(ReadSessionLog(kSessionLog));
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().text, "Выход из программы") << Dump(records);
  }

  std::unique_ptr<OperatorSession> session_;
};

TEST_F(WindowsOperator, WithoutTheSuiteLibraryTheStartIsRefused) {
  ASSERT_TRUE(session_->Launch(BinFile("VelmarDBRepair.exe")));
  const std::string text = ExpectBox("Ошибка!", "Return");
  EXPECT_EQ(text, "Модуль fbUtils.dll не загружен. В запуске приложения отказано!");
  EXPECT_EQ(session_->Program().Wait(30000), std::optional<int>(0));
  EXPECT_EQ(session_->Captions(), std::vector<std::string>{"Ошибка!"}) << "the main window opened";
  EXPECT_FALSE(Exists(kSessionLog)) << "the refused start wrote to the session log";
}

TEST_F(WindowsOperator, CheckReportsTheDamageTheValidationFound) {
  InstallSuite(
      "[gfix -v -full]\n"
      "out: Summary of validation errors\n"
      "out: {tab}Number of index page errors{tab}: 3\n"
      "out: {tab}Number of record level errors{tab}: 2\n");
  StartProgram();
  ASSERT_TRUE(session_->ClickCheck());
  const std::string damage = ExpectBox("Внимание! База повреждена!", "Return");
  EXPECT_EQ(damage.rfind("При проверке выявлены следующие ошибки:", 0), 0u) << damage;
  EXPECT_NE(damage.find("Кол-во ошибок на страницах с индексами"), std::string::npos) << damage;
  EXPECT_NE(damage.find("C:\\KORA\\FIREBIRD\\firebird.log"), std::string::npos) << damage;
  // No client library under Wine: the trial backup fails and says where to look.
  const std::string failure = ExpectBox("Внимание!", "Return");
  EXPECT_NE(failure.find("Резервную копию сделать не удалось."), std::string::npos) << failure;
  EXPECT_NE(failure.find("файле: C:\\KORA\\LogFiles\\VelmarDBRepair.log"), std::string::npos)
      << failure;

  const std::vector<SessionRecord> records = RunRecords();
  ASSERT_GE(records.size(), 5u) << Dump(records);
  EXPECT_EQ(records[0].text, "Начало проверки базы данных " + kDb);
  EXPECT_EQ(records[1].text, "Начало проверки gfix");
  EXPECT_EQ(records[2].text.rfind("Ошибка gfix: При проверке выявлены следующие ошибки:", 0), 0u)
      << Dump(records);
  EXPECT_EQ(records[2].tag, "[ошиб]");
  EXPECT_EQ(records[3].text, "Начало создания резервной копии");
  EXPECT_NE(FindRecord(records, "Ошибка при создании резервной копии: "), -1) << Dump(records);
  EXPECT_EQ(records.back().text, "Проверка базы данных завершена!");
  EXPECT_FALSE(Exists(kKora + "\\DB\\VELMAR.db_backup"));
  // gfix was asked to validate the chosen file on the local server.
  const std::string calls = ReadBytes(kBin + "calls.log");
  EXPECT_NE(calls.find("gfix\t-v\t-full\t127.0.0.1/3050:" + kDb), std::string::npos) << calls;

  CloseProgram();
  EXPECT_EQ(session_->Captions(),
            (std::vector<std::string>{"Внимание! База повреждена!", "Внимание!"}));
}

TEST_F(WindowsOperator, RepairEndsWithTheSuccessBoxAndTheRebuiltFileInPlace) {
  // The mend and the re-check find nothing; gbak writes its files and its end markers.
  InstallSuite(
      "[gfix -mend]\nexit: 0\n"
      "[gfix -v -full]\nexit: 0\n"
      "[gbak -b -se]\nfile: {arg:8}\nline: backup\nsleep: 700\n"
      "out: gbak:closing file, committing, and finishing. 1536 bytes written\n"
      "[gbak -c -se]\nfile: {arg:6}\nline: rebuilt database\nsleep: 700\n"
      "out: gbak:finishing, closing, and going home\n");
  StartProgram();
  ASSERT_TRUE(session_->ShowRepairTab());
  ASSERT_TRUE(session_->ClickRepair());
  std::optional<ScreenWindow> dialog = session_->NextBox();
  ASSERT_TRUE(dialog) << Dump(RunRecords());
  ASSERT_EQ(dialog->title, kSaveDialogTitle);
  // The offered name in the offered folder.
  ASSERT_TRUE(PressKeys(dialog->id, "Return"));
  const std::string success = ExpectBox("Информация", "Return");
  EXPECT_EQ(success, "Восстановление базы данных УСПЕШНО ЗАВЕРШЕНО!");

  const std::string restored = kKora + "\\DB\\VELMAR.db_restored1";
  std::vector<std::string> texts = Texts(RunRecords());
  ASSERT_GE(texts.size(), 2u);
  // The dialog spells the folder as the file system has it ("C:\KORA" already stood there).
  const std::string copied = "Сделана копия файла базы данных: " + kSafetyCopy;
  EXPECT_EQ(LowerAscii(texts[1]), LowerAscii(copied));
  texts[1] = copied;
  EXPECT_EQ(texts,
            (std::vector<std::string>{
                "Начало ремонта базы данных: " + kDb,
                "Сделана копия файла базы данных: " + kSafetyCopy,
                "Будет сделана маркировка поврежденных страниц",
                "Маркировка поврежденных страниц завершена",
                "Будет сделана повторная проверка с помощью gfix",
                "Повторная проверка завершена",
                "Будет сделана резервная копия базы данных",
                "Создание резервной копии успешно завершено",
                "Будет выполнено восстановление базы данных из резервной копии",
                "Восстановление из резервной копии прошло успешно!",
                "Будет выполнена попытка заменить файл \"" + kDb + "\" на \"" + restored + "\"",
                "Файл успешно удален: " + kDb,
                "Файл \"" + restored + "\" успешно переименован в \"" + kDb + "\"",
                "Ремонт базы данных успешно завершен!",
            }));
  EXPECT_EQ(ReadBytes(kDb), kRebuilt);
  EXPECT_EQ(ReadBytes(kSafetyCopy), kDamaged);
  EXPECT_FALSE(Exists(restored));
  EXPECT_FALSE(Exists(kKora + "\\DB\\VELMAR.db_backup1"));
  EXPECT_FALSE(Exists(kKora + "\\TEMP\\DBRepair\\FireBirdFixLog.log"));

  CloseProgram();
  EXPECT_EQ(session_->Captions(), (std::vector<std::string>{kSaveDialogTitle, "Информация"}));
  EXPECT_GE(session_->ProgressWindowsSeen(), 1);
}

}  // namespace
