#include "tests/repair/RepairTestCommon.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "os/Exception.h"
#include "repair/RepairWorkflow.h"
#include "tests/support/TestDatabase.h"

namespace repairtest {

testsupport::FbTestServer Server() {
  auto server = testsupport::FbTestServer::FromEnvironment();
  if (!server)
    throw std::runtime_error("the private Firebird server is not running");
  return *server;
}

std::string Blank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos ? "" : text;
}

void ExpectWorkingDatabase(const testsupport::FbTestServer& server, const std::string& db) {
  const auto validation = testsupport::ValidateFull(server, db);
  EXPECT_EQ(Blank(validation.err) + Blank(validation.out), "");
  EXPECT_EQ(testsupport::QueryNumber(server, db,
                                     "select count(*) from rdb$indices where coalesce("
                                     "rdb$system_flag, 0) = 0 and rdb$index_inactive = 1"),
            0)
      << "an index was left inactive";
  EXPECT_EQ(testsupport::QueryNumber(server, db, "select mon$shutdown_mode from mon$database"), 0);
}

std::optional<std::string> RunRepairOn(const std::string& databaseFile, ScriptedDialogs& dialogs) {
  WorkflowContext context{dialogs, [databaseFile] { return databaseFile; }};
  try {
    RepairDatabase(context);
  } catch (const Exception& e) {
    return e.Message();
  }
  return std::nullopt;
}

std::optional<std::string> RunRepair(const RepairSandbox& sandbox, ScriptedDialogs& dialogs) {
  return RunRepairOn(sandbox.Database(), dialogs);
}

std::vector<std::string> RecordsUpToBackup(const std::string& database, const std::string& copy) {
  return scenarios::RecordsUpToBackup({database, copy}, scenarios::RowCounting::Counted,
                                      scenarios::Recheck::MayFindDamage);
}

std::vector<std::string> SuccessRecords(const std::string& database, const std::string& copy) {
  return scenarios::SuccessRecords({database, copy}, scenarios::RowCounting::Counted,
                                   scenarios::Recheck::MayFindDamage);
}

std::string SessionLogPath() {
  return std::string(getenv("KORA_ROOT")) + "/LogFiles/VelmarDBRepair.log";
}
std::string ServerLogPath() {
  return std::string(getenv("KORA_ROOT")) + "/FIREBIRD/firebird.log";
}

std::string BackupFailedText() {
  return scenarios::BackupFailedText(SessionLogPath(), ServerLogPath());
}

std::string RestoreFailedText() {
  return scenarios::RestoreFailedText(SessionLogPath(), ServerLogPath());
}

}  // namespace repairtest
