// The backup service client against the real private server: what a clean backup delivers,
// where each kind of failure shows (at attach or while the output is read), and that the
// lines before a failure part-way are not lost.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "server/FbRowCounter.h"
#include "server/FbService.h"
#include "tests/support/DamageKit.h"
#include "tests/support/FbTestServer.h"
#include "tests/support/TestDatabase.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

struct BackupOutcome {
  std::vector<std::string> lines;
  std::optional<std::string> error;  // the message of the EFirebirdError that ended it
};

// Runs a whole backup as the trial backup does and records how it ended.
BackupOutcome Backup(const FbTestServer& server, const std::string& database,
                     const std::string& backup, const std::string& password) {
  BackupOutcome outcome;
  FbServiceConnection service;
  service.Attach("127.0.0.1", server.port, "SYSDBA", password);
  try {
    service.StartBackup(database, backup);
    std::string line;
    while (service.NextLine(line))
      outcome.lines.push_back(line);
  } catch (const EFirebirdError& e) {
    outcome.error = e.Message();
  }
  service.Detach();
  return outcome;
}

bool Contains(const std::vector<std::string>& lines, const std::string& part) {
  for (const auto& line : lines) {
    if (line.find(part) != std::string::npos)
      return true;
  }
  return false;
}

// A loopback port nobody listens on: bound once by us and given back.
int UnusedPort() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  close(s);
  return ntohs(address.sin_port);
}

class FbServiceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    auto found = FbTestServer::FromEnvironment();
    ASSERT_TRUE(found) << "the private Firebird server is not running";
    server_ = new FbTestServer(*found);
    folder_ = new std::string(FreshTestFolder("fbservice"));
    CreateTestDatabase(*server_, Base(), 3000, true);
  }
  static void TearDownTestSuite() {
    delete server_;
    delete folder_;
  }
  static std::string Base() { return *folder_ + "/base.fdb"; }
  static std::string In(const std::string& name) { return *folder_ + "/" + name; }
  std::string CopyOfBase(const std::string& name) {
    fs::copy_file(Base(), In(name), fs::copy_options::overwrite_existing);
    return In(name);
  }

  static FbTestServer* server_;
  static std::string* folder_;
};

FbTestServer* FbServiceTest::server_ = nullptr;
std::string* FbServiceTest::folder_ = nullptr;

TEST_F(FbServiceTest, CleanBackupDeliversItsLinesAndWritesTheFile) {
  const std::string backup = In("clean.fbk");
  BackupOutcome outcome = Backup(*server_, Base(), backup, server_->password);
  ASSERT_FALSE(outcome.error) << *outcome.error;
  ASSERT_GT(outcome.lines.size(), 10u);
  EXPECT_NE(outcome.lines.front().find("gbak:"), std::string::npos) << outcome.lines.front();
  EXPECT_TRUE(Contains(outcome.lines, "SALES"));
  EXPECT_TRUE(Contains(outcome.lines, "DOCUMENTS"));
  for (const auto& line : outcome.lines) {
    EXPECT_FALSE(line.empty());
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
  }
  ASSERT_TRUE(fs::exists(backup));
  EXPECT_GT(fs::file_size(backup), 100000u);  // the blobs alone are 6 MB... compressed less
}

TEST_F(FbServiceTest, EndOfOutputStaysTheEnd) {
  FbServiceConnection service;
  service.Attach("127.0.0.1", server_->port, "SYSDBA", server_->password);
  service.StartBackup(Base(), In("end.fbk"));
  int lines = 0;
  while (service.NextLine())
    ++lines;
  EXPECT_GT(lines, 0);
  EXPECT_FALSE(service.NextLine());
  std::string line = "untouched";
  EXPECT_FALSE(service.NextLine(line));
  EXPECT_EQ(line, "untouched");
}

TEST_F(FbServiceTest, WrongPasswordFailsAtAttachWithTheServersText) {
  FbServiceConnection service;
  try {
    service.Attach("127.0.0.1", server_->port, "SYSDBA", server_->password + "x");
    FAIL() << "attached with a wrong password";
  } catch (const EFirebirdError& e) {
    EXPECT_NE(e.Message().find("password"), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(service.Attached());
}

TEST_F(FbServiceTest, PortWithoutServerFailsAtAttach) {
  const int port = UnusedPort();
  FbServiceConnection service;
  try {
    service.Attach("127.0.0.1", port, "SYSDBA", server_->password);
    FAIL() << "attached to port " << port;
  } catch (const EFirebirdError& e) {
    EXPECT_NE(e.Message().find("Unable to complete network request to host \"127.0.0.1\""),
              std::string::npos)
        << e.Message();
  }
  EXPECT_FALSE(service.Attached());
}

TEST_F(FbServiceTest, MissingDatabaseFailsWhileReading) {
  BackupOutcome outcome = Backup(*server_, In("no-such.fdb"), In("missing.fbk"), server_->password);
  ASSERT_TRUE(outcome.error) << "a backup of a missing file ended normally";
  EXPECT_NE(outcome.error->find("no-such.fdb"), std::string::npos) << *outcome.error;
}

TEST_F(FbServiceTest, TextFileFailsAsNotADatabase) {
  const std::string path = CopyOfBase("text.fdb");
  Damage(*server_, path, DamageKind::TextFile);
  BackupOutcome outcome = Backup(*server_, path, In("text.fbk"), server_->password);
  ASSERT_TRUE(outcome.error) << "a backup of a text file ended normally";
  EXPECT_NE(outcome.error->find("is not a valid database"), std::string::npos) << *outcome.error;
}

// The server stops delivering output once the backup fails: the failing query brings its
// last line together with the error, and lines not yet asked for are lost on its side.
TEST_F(FbServiceTest, DamageFoundPartWayKeepsTheLinesBeforeIt) {
  const std::string path = CopyOfBase("zeroed.fdb");
  const DamageReport damage = Damage(*server_, path, DamageKind::ZeroDataPage);
  BackupOutcome outcome = Backup(*server_, path, In("zeroed.fbk"), server_->password);
  ASSERT_TRUE(outcome.error) << "the backup read a zeroed data page without an error";
  EXPECT_NE(outcome.error->find("page " + std::to_string(damage.page) + " is of wrong type"),
            std::string::npos)
      << *outcome.error;
  ASSERT_FALSE(outcome.lines.empty());
  EXPECT_NE(outcome.lines.front().find("gbak:"), std::string::npos) << outcome.lines.front();
  EXPECT_FALSE(Contains(outcome.lines, "closing file, committing, and finishing"));
}

TEST_F(FbServiceTest, CyrillicPathsWithSpacesWork) {
  const std::string folder = In("Папка с пробелами");
  fs::create_directories(folder);
  const std::string database = folder + "/База данных.fdb";
  const std::string backup = folder + "/Копия базы.fbk";
  fs::copy_file(Base(), database, fs::copy_options::overwrite_existing);
  BackupOutcome outcome = Backup(*server_, database, backup, server_->password);
  ASSERT_FALSE(outcome.error) << *outcome.error;
  EXPECT_TRUE(Contains(outcome.lines, "База данных.fdb"));
  EXPECT_TRUE(fs::exists(backup));
  EXPECT_GT(fs::file_size(backup), 0u);
}

TEST_F(FbServiceTest, DetachInTheMiddleLeavesTheConnectionReusable) {
  FbServiceConnection service;
  service.Attach("127.0.0.1", server_->port, "SYSDBA", server_->password);
  service.StartBackup(Base(), In("interrupted.fbk"));
  ASSERT_TRUE(service.NextLine());
  service.Detach();
  EXPECT_FALSE(service.Attached());
  EXPECT_THROW(service.NextLine(), EFirebirdError);

  service.Attach("127.0.0.1", server_->port, "SYSDBA", server_->password);
  service.StartBackup(Base(), In("after.fbk"));
  std::vector<std::string> lines;
  while (auto line = service.NextLine())
    lines.push_back(*line);
  EXPECT_TRUE(Contains(lines, "closing file, committing, and finishing"));
}

TEST_F(FbServiceTest, SecondStartOnOneAttachmentIsRefused) {
  FbServiceConnection service;
  service.Attach("127.0.0.1", server_->port, "SYSDBA", server_->password);
  service.StartBackup(Base(), In("first.fbk"));
  EXPECT_THROW(service.StartBackup(Base(), In("second.fbk")), EFirebirdError);
}

}  // namespace

namespace {

rowcount::Login SysdbaOf(const FbTestServer& server) {
  return {server.port, server.password};
}

// A connect trigger that refuses everyone would otherwise hide every figure.
TEST_F(FbServiceTest, RowCountsPassOverAConnectTriggerThatRefuses) {
  const std::string db = CopyOfBase("triggered.fdb");
  ASSERT_EQ(RunIsql(*server_, db,
                    "create exception NO_ENTRY 'closed';\n"
                    "set term ^;\n"
                    "create trigger REFUSE on connect as begin exception NO_ENTRY; end^\n"
                    "set term ;^\n")
                .exitCode,
            0);
  const rowcount::TableRowCounts counts = rowcount::CountTableRows(SysdbaOf(*server_), db);
  ASSERT_FALSE(counts.error) << *counts.error;
  ASSERT_EQ(counts.tables.size(), 3u);
  EXPECT_EQ(counts.tables[0].rows, 3000);  // CUSTOMERS
}

TEST_F(FbServiceTest, RowCountsEndWhereTheyAreStopped) {
  std::stop_source stop;
  const rowcount::TableRowCounts counts = rowcount::CountTableRows(
      SysdbaOf(*server_), Base(),
      [&stop](const std::string& table) {
        if (table == "DOCUMENTS")
          stop.request_stop();
      },
      stop.get_token());
  EXPECT_TRUE(counts.cancelled);
  ASSERT_EQ(counts.tables.size(), 1u);
  EXPECT_EQ(counts.tables[0].table, "CUSTOMERS");
  EXPECT_EQ(counts.tables[0].rows, 3000);
}

}  // namespace
