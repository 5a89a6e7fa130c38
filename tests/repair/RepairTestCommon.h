// What the repair tests share: the texts the operator and the log must show, and running
// the repair as the main window runs it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/repair/RepairSandbox.h"
#include "tests/support/FbTestServer.h"
#include "tests/support/OperatorScenarios.h"
#include "tests/support/ScriptedDialogs.h"

namespace repairtest {

// The private server the tests run against; throws when it is not running.
testsupport::FbTestServer Server();
// "" for text of nothing but white space, else the text itself.
std::string Blank(const std::string& text);

// The repaired file validates clean, with every index of the shop active and the database
// online: the repair ended in a database the tills can use.
void ExpectWorkingDatabase(const testsupport::FbTestServer& server, const std::string& db);

// Runs the repair on the sandbox's database; the message of the error that left it, if any.
std::optional<std::string> RunRepair(const RepairSandbox& sandbox, ScriptedDialogs& dialogs);
// The same, with the file field answering `databaseFile`.
std::optional<std::string> RunRepairOn(const std::string& databaseFile, ScriptedDialogs& dialogs);

using scenarios::RecheckOutcome;
using scenarios::RowLossBox;
using scenarios::SuccessBox;

// Every record of a repair of a test database that ends with the replacement, in order.
std::vector<std::string> SuccessRecords(const std::string& database, const std::string& copy);
// The records up to the end of the backup.
std::vector<std::string> RecordsUpToBackup(const std::string& database, const std::string& copy);

std::string SessionLogPath();
std::string ServerLogPath();
// The five-line messages sending the operator to the logs.
std::string BackupFailedText();
std::string RestoreFailedText();

}  // namespace repairtest
