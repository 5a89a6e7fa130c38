// The validation against the real private server with the server's own gfix at the fixed
// path: clean and damaged databases, a database in use, the server's refusals, odd paths,
// missing files and the operator's cancel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "check/ValidateDatabase.h"
#include "os/Environment.h"
#include "os/Files.h"
#include "os/Time.h"
#include "progress/ProgressViewer.h"
#include "server/FixedPaths.h"
#include "server/ToolRunner.h"
#include "tests/check/CheckSandbox.h"
#include "tests/check/HeldAttachment.h"
#include "tests/support/DamageKit.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using testsupport::DamageKind;

namespace {

const char* const kInUse =
    "Невозможно выполнить проверку базы данных, т.к. в данный момент база данных используется "
    "другим приложением";

std::string TestName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("validate-") + info->name();
  for (char& c : name)
    if (c == '/')
      c = '-';
  return name;
}

bool NoScriptsLeft() {
  return os::FindEntries(paths::WorkDirectory() + "DBRepairBat*").empty();
}

class Validation : public ::testing::Test {
 protected:
  void SetUp() override {
    auto found = testsupport::FbTestServer::FromEnvironment();
    ASSERT_TRUE(found) << "the private Firebird server is not running";
    server_ = *found;
    sandbox_ = std::make_unique<checktest::CheckSandbox>(server_, TestName());
    template_ = checktest::TemplateDatabase(server_, "validate-2000-blobs", 2000, true);
  }
  void TearDown() override { sandbox_.reset(); }

  // A private copy of the template; every damaged copy gets a file of its own, because the
  // server keeps gfix's attachment after an I/O error.
  std::string CopyOfTemplate(const std::string& folder, const std::string& name) {
    const std::string dir = sandbox_->DataDir() + "/" + folder;
    fs::create_directories(dir);
    const std::string path = dir + "/" + name;
    checktest::CopyDatabase(template_, path);
    return path;
  }

  // The class and message of the error the validation raised, or two empty strings.
  std::pair<std::string, std::string> Failure(const std::string& database) {
    try {
      ValidateDatabase(database);
    } catch (const Exception& e) {
      return {e.ClassName(), e.Message()};
    }
    return {"", ""};
  }

  void SetLogin(const std::string& password, int port) {
    testsupport::PutFile(
        paths::KoraRoot() + "/fbUtils.ini",
        "[Common]\nPassword=" + password + "\nPort=" + std::to_string(port) + "\n");
  }

  testsupport::FbTestServer server_;
  std::unique_ptr<checktest::CheckSandbox> sandbox_;
  std::string template_;
};

TEST_F(Validation, ACleanDatabaseReturnsNormallyAndLeavesNothingBehind) {
  const std::string db = CopyOfTemplate("clean", "VELMAR.FDB");
  EXPECT_NO_THROW(ValidateDatabase(db));
  EXPECT_FALSE(os::FileExists(paths::ToolLog()));
  EXPECT_TRUE(NoScriptsLeft());
}

struct DamageCase {
  DamageKind kind;
  std::vector<std::string> headings;  // what the report must hold
};

class DamagedValidation : public Validation, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedValidation, RaisesTheReportWithRussianHeadings) {
  const DamageCase& damage = GetParam();
  const std::string name = testsupport::DamageKindName(damage.kind);
  const std::string db = CopyOfTemplate("damaged", name + ".fdb");
  testsupport::Damage(server_, db, damage.kind);

  const auto [className, report] = Failure(db);
  EXPECT_EQ(className, "EDatabaseError") << report;
  for (const std::string& heading : damage.headings)
    EXPECT_NE(report.find(heading), std::string::npos) << heading << "\n" << report;
  // Every heading the tool printed once is gone in English.
  EXPECT_EQ(report.find("Summary of validation errors"), std::string::npos) << report;
  EXPECT_EQ(report.find("is not a valid database"), std::string::npos) << report;
  EXPECT_EQ(report.substr(report.size() - 2), "\r\n");
  EXPECT_FALSE(os::FileExists(paths::ToolLog()));
  EXPECT_TRUE(NoScriptsLeft());
}

const char* const kSummary = "При проверке выявлены следующие ошибки:";

INSTANTIATE_TEST_SUITE_P(
    EveryKind, DamagedValidation,
    ::testing::Values(
        DamageCase{DamageKind::RecordGarbage, {kSummary, "Кол-во ошибок в записях"}},
        DamageCase{DamageKind::ZeroDataPage, {kSummary, "Кол-во ошибок на страницах с данными"}},
        DamageCase{DamageKind::IndexGarbage, {kSummary, "Кол-во ошибок на страницах с индексами"}},
        DamageCase{DamageKind::ZeroBlobPage, {kSummary, "Кол-во ошибок в полях БЛОБ"}},
        DamageCase{DamageKind::ZeroPointerPage,
                   {kSummary, "Кол-во ошибок на страницах указателей"}},
        DamageCase{DamageKind::Truncate, {"I/O error"}},
        DamageCase{DamageKind::TextFile, {"не является файлом базы данных"}}),
    [](const auto& info) {
      std::string name = testsupport::DamageKindName(info.param.kind);
      for (char& c : name)
        if (c == '-')
          c = '_';
      return name;
    });

TEST_F(Validation, ADatabaseAttachedElsewhereCannotBeValidated) {
  const std::string db = CopyOfTemplate("in-use", "VELMAR.FDB");
  checktest::HeldAttachment other(server_, db);
  EXPECT_EQ(Failure(db), std::make_pair(std::string("EDatabaseInUse"), std::string(kInUse)));
  EXPECT_FALSE(os::FileExists(paths::ToolLog()));
}

// The client's own configuration for the tools this test runs: the installation's messages
// and plug-ins, with `settings` as its firebird.conf.
class ClientSettings {
 public:
  ClientSettings(const std::string& dir, const std::string& settings) {
    const fs::path installation = "/usr/lib/x86_64-linux-gnu/firebird/3.0";
    fs::create_directories(dir);
    for (const char* name : {"firebird.msg", "intl", "lib", "plugins", "plugins.conf"})
      fs::create_symlink(installation / name, fs::path(dir) / name);
    testsupport::PutFile(dir + "/firebird.conf", settings);
    os::SetEnv("FIREBIRD", dir);
  }
  ~ClientSettings() {
    if (earlier_)
      os::SetEnv("FIREBIRD", *earlier_);
    else
      ::unsetenv("FIREBIRD");
  }

 private:
  std::optional<std::string> earlier_ = os::GetEnv("FIREBIRD");
};

// What the real server answers when it will not let the tool in: a plain error with the
// tool's text, never damage.
TEST_F(Validation, RefusalsOfTheServerArePlainErrorsNotDamage) {
  struct Refusal {
    const char* name;
    const char* clientSettings;  // empty: the installation's own
    bool wrongPassword;
    bool noServer;
    const char* answer;
  };
  const Refusal refusals[] = {
      {"wrong password", "", true, false, "Your user name and password are not defined"},
      {"no server on the port", "", false, true, "Unable to complete network request"},
      // The server insists on wire encryption (Firebird 3's default).
      {"no wire encryption", "WireCrypt = Disabled\n", false, false,
       "Incompatible wire encryption levels requested on client and server"},
      // No authentication method the server accepts: the login fails on the server's side.
      {"no common login method", "AuthClient = Legacy_Auth\n", false, false,
       "Error occurred during login, please check server firebird.log for details"},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.name);
    std::string folder = refusal.name;
    for (char& c : folder)
      if (c == ' ')
        c = '-';
    const std::string db = CopyOfTemplate(folder, "VELMAR.FDB");
    SetLogin(server_.password + (refusal.wrongPassword ? "x" : ""),
             refusal.noServer ? 1 : server_.port);  // nobody listens on port 1
    std::optional<ClientSettings> client;
    if (*refusal.clientSettings != '\0')
      client.emplace(sandbox_->DataDir() + "/client-" + folder, refusal.clientSettings);
    const auto [className, message] = Failure(db);
    EXPECT_EQ(className, "Exception") << message;
    EXPECT_NE(message.find(refusal.answer), std::string::npos) << message;
  }
}

TEST_F(Validation, OddCharactersInThePathReachTheServerUnchanged) {
  for (const char* folder : {"with space", "База данных", "per%cent%", "and&amp", "dollar$HOME",
                             "back`id`tick", "it's"}) {
    SCOPED_TRACE(folder);
    const std::string clean = CopyOfTemplate(folder, "Чистая база.fdb");
    EXPECT_NO_THROW(ValidateDatabase(clean));
    // A damaged file beside it shows the tool really read the file named.
    const std::string damaged = CopyOfTemplate(folder, "damaged 'x'.fdb");
    testsupport::Damage(server_, damaged, DamageKind::IndexGarbage);
    const auto [className, report] = Failure(damaged);
    EXPECT_EQ(className, "EDatabaseError") << report;
    EXPECT_NE(report.find("Кол-во ошибок на страницах с индексами"), std::string::npos) << report;
  }
}

TEST_F(Validation, AMissingToolIsNamedBeforeAMissingDatabase) {
  fs::remove(paths::Gfix());
  const int runs = ToolBatchCount();
  EXPECT_EQ(Failure(sandbox_->DataDir() + "/nothing.fdb"),
            std::make_pair(std::string("Exception"), "Не найден файл: " + paths::Gfix()));
  EXPECT_EQ(ToolBatchCount(), runs);
}

TEST_F(Validation, AMissingDatabaseIsReportedBeforeTheToolRuns) {
  const int runs = ToolBatchCount();
  EXPECT_EQ(Failure(sandbox_->DataDir() + "/nothing.fdb"),
            std::make_pair(std::string("Exception"),
                           std::string("Указанная база данных не найдена на этом компьютере!")));
  EXPECT_EQ(ToolBatchCount(), runs);
}

TEST_F(Validation, ACancelDuringALongRunPassesOnAndLeavesTheToolToFinish) {
  const std::string db = CopyOfTemplate("cancel", "VELMAR.FDB");
  // A slow installation of the tool: it thinks for two seconds before validating.
  const std::string slow = paths::KoraRoot() + "/slow-gfix";
  const std::string ended = paths::KoraRoot() + "/slow-gfix-ended";
  testsupport::PutFile(slow, "#!/bin/sh\nsleep 2\n/usr/bin/gfix \"$@\"\ntouch '" + ended + "'\n");
  fs::permissions(slow, fs::perms::owner_all);
  fs::remove(paths::Gfix());
  fs::create_symlink(slow, paths::Gfix());

  std::atomic<std::uint64_t> cancelledAt{0};
  const std::uint64_t cancelAt = os::MonotonicMs() + 500;
  SetViewerCycleHook([&](TProgressViewer& viewer) {
    if (os::MonotonicMs() < cancelAt || viewer.Cancelled())
      return;
    std::uint64_t none = 0;
    cancelledAt.compare_exchange_strong(none, os::MonotonicMs());
    viewer.Cancel();
  });
  try {
    ValidateDatabase(db);
    ADD_FAILURE() << "the cancel was not raised";
  } catch (const EProgressCancelByUser& e) {
    EXPECT_EQ(e.Message(), "Прервано пользователем!");
    EXPECT_LE(os::MonotonicMs() - cancelledAt.load(), 200u);
  }
  SetViewerCycleHook(nullptr);
  WaitForViewerThreads(5000);
  EXPECT_TRUE(NoScriptsLeft());
  // The tool was left running: it validates after its pause and then ends.
  EXPECT_FALSE(os::FileExists(ended));
  for (int i = 0; i < 1000 && !os::FileExists(ended); ++i)
    os::SleepMs(20);
  EXPECT_TRUE(os::FileExists(ended));
  EXPECT_FALSE(os::FileExists(paths::ToolLog()));
}

}  // namespace
