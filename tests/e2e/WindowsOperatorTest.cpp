// The real program of the Windows build under Wine, worked by an operator at the test display.
// gfix and gbak at the suite's paths are bridges to the host's own tools, which work against
// the private test server; the databases are made and damaged by the damage kit inside the
// prefix's C:\KORA. The suite library is its stand-in, and the trial backup fails for want
// of a client library. Every test owns C:\KORA and the stored file name, and leaves neither
// behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "os/Files.h"
#include "os/win/Wide.h"
#include "tests/e2e/OperatorSession.h"
#include "tests/e2e/SessionRecords.h"
#include "tests/support/DamageKit.h"
#include "tests/support/FbTestServer.h"
#include "tests/support/KoraSandbox.h"
#include "tests/support/LogRecords.h"
#include "tests/support/OperatorScenarios.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using namespace e2e;
using testsupport::FileBytes;
using testsupport::RecordsAre;

namespace {

const std::string kKora = "C:\\KORA";
const std::string kBin = kKora + "\\FIREBIRD\\bin\\";
const std::string kDb = kKora + "\\DB\\VELMAR.FDB";
const std::string kSessionLog = kKora + "\\LogFiles\\VelmarDBRepair.log";
const std::string kSafetyCopy = "C:\\Kora\\Backup\\FireBirdBase\\VELMAR_BACKUP.FDB";
constexpr int kRows = 3000;

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
    session_ = std::make_unique<OperatorSession>(name, std::vector<std::string>{});
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

  // The suite as the program finds it, against the private server: the library answering the
  // server's password and port, the bridges to the server's own tools, and the test shop's
  // database at the default path, damaged as `kind` says (clean without one). The file's bytes.
  std::string InstallSuite(std::optional<testsupport::DamageKind> kind) {
    auto server = testsupport::FbTestServer::FromEnvironment();
    if (!server) {
      ADD_FAILURE() << "the private Firebird server is not running ($VELMAR_FB_DIR)";
      return "";
    }
    server_ = *server;
    fs::create_directories(fs::path(os::win::ToWide(kBin)));
    fs::create_directories(fs::path(os::win::ToWide(kKora + "\\DB")));
    fs::copy_file(fs::path(os::win::ToWide(BinFile("fbUtils.dll"))),
                  fs::path(os::win::ToWide(kKora + "\\fbUtils.dll")));
    testsupport::PutFile(kKora + "\\fbUtils.ini",
                         testsupport::SuiteLibraryIni(server_.password, server_.port));
    for (const char* tool : {"gfix.exe", "gbak.exe"})
      fs::copy_file(fs::path(os::win::ToWide(BinFile(std::string("hostbridge/") + tool))),
                    fs::path(os::win::ToWide(kBin + tool)));
    testsupport::CreateTestDatabase(server_, kDb, kRows, /*blobs=*/false);
    if (kind)
      testsupport::Damage(server_, kDb, *kind);
    return FileBytes(kDb);
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
  testsupport::FbTestServer server_;
};

TEST_F(WindowsOperator, WithoutTheSuiteLibraryTheStartIsRefused) {
  ASSERT_TRUE(session_->Launch(BinFile("VelmarDBRepair.exe")));
  const std::string text = ExpectBox("Ошибка!", "Return");
  EXPECT_EQ(text, "Модуль fbUtils.dll не загружен. В запуске приложения отказано!");
  EXPECT_EQ(session_->Program().Wait(30000), std::optional<int>(0));
  EXPECT_EQ(session_->Captions(), std::vector<std::string>{"Ошибка!"}) << "the main window opened";
  EXPECT_FALSE(os::FileExists(kSessionLog)) << "the refused start wrote to the session log";
}

TEST_F(WindowsOperator, CheckReportsTheDamageTheValidationFound) {
  InstallSuite(testsupport::DamageKind::RecordGarbage);
  StartProgram();
  ASSERT_TRUE(session_->ClickCheck());
  // The server's gfix found the spoilt records; the program put its report in Russian.
  const std::string damage = ExpectBox("Внимание! База повреждена!", "Return");
  EXPECT_NE(damage.find("При проверке выявлены следующие ошибки:"), std::string::npos) << damage;
  EXPECT_NE(damage.find("Кол-во ошибок в записях"), std::string::npos) << damage;
  EXPECT_EQ(damage.find("Summary of validation errors"), std::string::npos) << damage;
  EXPECT_NE(damage.find("C:\\KORA\\FIREBIRD\\firebird.log"), std::string::npos) << damage;
  // No client library under Wine: the trial backup fails and says where to look.
  const std::string failure = ExpectBox("Внимание!", "Return");
  EXPECT_NE(failure.find("Резервную копию сделать не удалось."), std::string::npos) << failure;
  EXPECT_NE(failure.find("файле: C:\\KORA\\LogFiles\\VelmarDBRepair.log"), std::string::npos)
      << failure;

  const std::vector<SessionRecord> records = RunRecords();
  ASSERT_GE(records.size(), 6u) << Dump(records);
  EXPECT_EQ(records[0].text, "Начало проверки базы данных " + kDb);
  EXPECT_EQ(records[1].text, "Начало проверки gfix");
  EXPECT_EQ(records[2].text.rfind("Ошибка gfix: ", 0), 0u) << Dump(records);
  EXPECT_NE(records[2].text.find("Кол-во ошибок в записях"), std::string::npos) << Dump(records);
  EXPECT_EQ(records[2].tag, "[ошиб]");
  // Naming the damaged tables needs the client library as well.
  EXPECT_EQ(records[3].text.rfind("Не удалось определить поврежденные таблицы: ", 0), 0u)
      << Dump(records);
  EXPECT_NE(records[3].text.find("fbclient.dll"), std::string::npos) << Dump(records);
  EXPECT_EQ(records[4].text, "Начало создания резервной копии");
  EXPECT_NE(FindRecord(records, "Ошибка при создании резервной копии: "), -1) << Dump(records);
  EXPECT_EQ(records.back().text, "Проверка базы данных завершена!");
  EXPECT_FALSE(os::FileExists(kKora + "\\DB\\VELMAR.db_backup"));
  EXPECT_FALSE(os::FileExists(kKora + "\\TEMP\\DBRepair\\FireBirdFixLog.log"));

  CloseProgram();
  EXPECT_EQ(session_->Captions(),
            (std::vector<std::string>{"Внимание! База повреждена!", "Внимание!"}));
}

// Two copies share C:\KORA\TEMP\DBRepair and the files beside the database: while the first
// checks, the second starts neither a check nor a repair and changes nothing.
TEST_F(WindowsOperator, ASecondCopyRefusesBothButtonsWhileTheFirstChecks) {
  InstallSuite(std::nullopt);
  StartProgram();
  // The first copy stays inside its check while its question waits for the operator.
  ASSERT_TRUE(session_->ClickCheck());
  std::optional<ScreenWindow> question = session_->NextBox();
  ASSERT_TRUE(question);
  ASSERT_EQ(question->title, "Повреждений не обнаружено!");

  const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  OperatorSession second(name + "-second", {});
  ASSERT_TRUE(second.Start(BinFile("VelmarDBRepair.exe")));
  const auto refused = [&] {
    std::optional<ScreenWindow> box = second.NextBox();
    ASSERT_TRUE(box) << "the second copy said nothing";
    EXPECT_EQ(box->title, "Внимание!");
    EXPECT_EQ(MessageBoxText(box->title),
              "Проверка или ремонт базы данных уже выполняется другим экземпляром программы.\r\n"
              "Дождитесь его завершения и повторите попытку.");
    ASSERT_TRUE(second.Answer(*box, "Return"));
  };
  ASSERT_TRUE(second.ClickCheck());
  refused();
  ASSERT_TRUE(second.ShowRepairTab());
  ASSERT_TRUE(second.ClickRepair());
  refused();
  // The second copy wrote only its start, and the validation ran once.
  const std::vector<std::string> texts = Texts(ParseSessionLog(ReadSessionLog(kSessionLog)));
  EXPECT_EQ(texts.back(), "Программа запущена");
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Начало проверки gfix"), 1);

  ASSERT_TRUE(session_->Answer(*question, "Escape"));
  EXPECT_EQ(second.Close(), std::optional<int>(0));
  CloseProgram();
}

TEST_F(WindowsOperator, RepairEndsWithTheSuccessBoxAndTheRebuiltFileInPlace) {
  const std::string damaged = InstallSuite(testsupport::DamageKind::RecordGarbage);
  StartProgram();
  ASSERT_TRUE(session_->ShowRepairTab());
  ASSERT_TRUE(session_->ClickRepair());
  std::optional<ScreenWindow> dialog = session_->NextBox();
  ASSERT_TRUE(dialog) << Dump(RunRecords());
  ASSERT_EQ(dialog->title, kSaveDialogTitle);
  // The offered name in the offered folder.
  ASSERT_TRUE(PressKeys(dialog->id, "Return"));
  const std::string success = ExpectBox(*scenarios::SuccessBox().caption, "Return");
  EXPECT_EQ(success, scenarios::SuccessBox().text);
  EXPECT_EQ(ExpectBox(*scenarios::UncountedBox().caption, "Return"),
            scenarios::UncountedBox().text);

  const scenarios::RepairFiles files{kDb, kSafetyCopy};
  const std::string restored = files.Restored();
  std::vector<std::string> texts = Texts(RunRecords());
  ASSERT_GE(texts.size(), 2u);
  // The dialog spells the folder as the file system has it ("C:\KORA" already stood there).
  const std::string copied = "Сделана копия файла базы данных: " + kSafetyCopy;
  EXPECT_EQ(LowerAscii(texts[1]), LowerAscii(copied));
  texts[1] = copied;
  // Without the server's client library the rows go uncounted; the re-check's own record
  // comes only when the mend left nothing to find.
  EXPECT_TRUE(RecordsAre(texts,
                         scenarios::SuccessRecords(files, scenarios::RowCounting::NoClientLibrary,
                                                   scenarios::Recheck::MayFindDamage),
                         {scenarios::RecheckDone()}));
  // The rebuilt file validates clean with the server's own gfix and keeps the untouched table.
  const testsupport::ToolResult validation = testsupport::ValidateFull(server_, kDb);
  EXPECT_EQ((validation.out + validation.err).find_first_not_of(" \t\r\n"), std::string::npos)
      << "the replaced file does not validate clean:\n"
      << validation.out << validation.err;
  EXPECT_EQ(testsupport::CountRows(server_, kDb, "CUSTOMERS"), kRows);
  EXPECT_EQ(FileBytes(kSafetyCopy), damaged) << "the safety copy is not the damaged file";
  EXPECT_FALSE(os::FileExists(restored));
  EXPECT_FALSE(os::FileExists(kKora + "\\DB\\VELMAR.db_backup1"));
  EXPECT_FALSE(os::FileExists(kKora + "\\TEMP\\DBRepair\\FireBirdFixLog.log"));

  CloseProgram();
  EXPECT_EQ(session_->Captions(),
            (std::vector<std::string>{kSaveDialogTitle, "Информация", "Внимание!"}));
  EXPECT_GE(session_->ProgressWindowsSeen(), 1);
}

}  // namespace
