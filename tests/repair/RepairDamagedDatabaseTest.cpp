// The whole repair against the real server, on databases damaged in the ways the field
// sees them, from the safety copy to the replaced file.
#include <gtest/gtest.h>

#include <iostream>

#include "os/Files.h"
#include "server/FixedPaths.h"
#include "tests/repair/RepairSandbox.h"
#include "tests/repair/RepairTestCommon.h"
#include "tests/repair/SilentDamage.h"
#include "tests/support/DamageKit.h"
#include "tests/support/TestDatabase.h"

using namespace repairtest;
using testsupport::DamageKind;

namespace {

constexpr int kRows = 3000;

// `folder`: a folder of the sandbox's data folder that holds the database, "" for none. The
// server itself opens and writes the files of the backup and the restore, so their names
// must reach it whole.
struct DamageCase {
  DamageKind kind;
  std::string folder;
};

void PrintTo(const DamageCase& c, std::ostream* out) {
  *out << testsupport::DamageKindName(c.kind) << " " << c.folder;
}

class RepairOfDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(RepairOfDamage, ReplacesTheDatabaseWithAValidRebuildAndKeepsTheDamagedCopy) {
  const auto server = Server();
  const DamageKind kind = GetParam().kind;
  RepairSandbox sandbox(server, "repair-" + testsupport::DamageKindName(kind));
  const std::string folder =
      GetParam().folder.empty() ? sandbox.DataDir() : sandbox.DataDir() + "/" + GetParam().folder;
  ASSERT_TRUE(os::ForceDirectories(folder));
  const std::string db = folder + "/VELMAR.FDB";
  testsupport::CreateTestDatabase(server, db, kRows, /*blobs=*/true);
  const auto customersBefore = testsupport::CountRows(server, db, "CUSTOMERS");
  const auto salesBefore = testsupport::CountRows(server, db, "SALES");
  const auto damage = testsupport::Damage(server, db, kind);
  const std::string damagedBytes = ReadBytes(db);
  const auto identityBefore = os::IdentityOf(db);

  ScriptedDialogs dialogs;
  dialogs.Save(sandbox.DefaultSafetyCopy()).Box(DialogResult::Ok, SuccessBox());
  const auto error = RunRepairOn(db, dialogs);

  ASSERT_FALSE(error) << *error << "\n" << dialogs.Transcript();
  EXPECT_NE(os::IdentityOf(db), identityBefore) << "the database file was not replaced";
  const auto validation = testsupport::ValidateFull(server, db);
  EXPECT_EQ(Blank(validation.err) + Blank(validation.out), "")
      << "the replaced file does not validate clean";
  EXPECT_EQ(ReadBytes(sandbox.DefaultSafetyCopy()), damagedBytes)
      << "the safety copy differs from the damaged file";
  EXPECT_TRUE(RecordsAre(sandbox.Records(), SuccessRecords(db, sandbox.DefaultSafetyCopy()),
                         RecheckOutcome()));
  EXPECT_FALSE(Exists(folder + "/VELMAR.db_backup1"));
  EXPECT_FALSE(Exists(folder + "/VELMAR.db_restored1"));
  EXPECT_FALSE(Exists(paths::ToolLog()));

  const auto customersAfter = testsupport::CountRows(server, db, "CUSTOMERS");
  const auto salesAfter = testsupport::CountRows(server, db, "SALES");
  EXPECT_EQ(customersAfter, customersBefore) << "the damage was in SALES only";
  EXPECT_LE(salesAfter, salesBefore);
  EXPECT_GT(salesAfter, 0);
  std::cout << "[ rows     ] " << testsupport::DamageKindName(kind) << " (" << damage.what
            << "): CUSTOMERS " << customersBefore << " -> " << customersAfter << ", SALES "
            << salesBefore << " -> " << salesAfter << std::endl;
}

INSTANTIATE_TEST_SUITE_P(Repairable, RepairOfDamage,
                         ::testing::Values(DamageCase{DamageKind::RecordGarbage, ""},
                                           DamageCase{DamageKind::ZeroDataPage, ""},
                                           DamageCase{DamageKind::IndexGarbage, ""},
                                           DamageCase{DamageKind::ZeroBlobPage,
                                                      "Данные кассы № 1"}),
                         [](const auto& info) {
                           std::string name = testsupport::DamageKindName(info.param.kind);
                           std::erase(name, '-');
                           return name;
                         });

TEST(RepairBeyondRescue, AZeroedPointerPageStopsAtTheBackupAndLeavesTheMendedFile) {
  const auto server = Server();
  RepairSandbox sandbox(server, "repair-pointer-page");
  const std::string db = sandbox.Database();
  testsupport::CreateTestDatabase(server, db, kRows, /*blobs=*/false);
  testsupport::Damage(server, db, DamageKind::ZeroPointerPage);
  const std::string damagedBytes = ReadBytes(db);
  const auto identityBefore = os::IdentityOf(db);

  ScriptedDialogs dialogs;
  dialogs.Save(sandbox.DefaultSafetyCopy());
  const auto error = RunRepair(sandbox, dialogs);

  ASSERT_TRUE(error) << "the repair of a zeroed pointer page reported success";
  EXPECT_EQ(*error, BackupFailedText());
  EXPECT_EQ(os::IdentityOf(db), identityBefore) << "the database file was replaced";
  EXPECT_TRUE(Exists(db));
  EXPECT_EQ(ReadBytes(sandbox.DefaultSafetyCopy()), damagedBytes);
  std::vector<std::string> expected = RecordsUpToBackup(db, sandbox.DefaultSafetyCopy());
  expected.push_back("Лог резервной копии не содержит признака окончания резервирования:\r\n*");
  expected.push_back("Ошибка функции ремонта базы данных: " + BackupFailedText());
  const auto records = sandbox.Records();
  EXPECT_TRUE(RecordsAre(records, expected, RecheckOutcome()));
  // The server made the backup; its error still reaches the record through gbak.
  ASSERT_GE(records.size(), 2u);
  const std::string& backupLog = records[records.size() - 2];
  EXPECT_NE(backupLog.find("gbak: ERROR:database file appears corrupt"), std::string::npos)
      << backupLog;
  EXPECT_FALSE(Exists(sandbox.DataDir() + "/VELMAR.db_backup1")) << "intermediate backup left";
  EXPECT_FALSE(Exists(sandbox.DataDir() + "/VELMAR.db_restored1"));
  EXPECT_FALSE(Exists(paths::ToolLog())) << "tool log left";
}

// gbak gives up on a record whose NOT NULL column holds NULL: the new file is half made.
TEST(RepairWithFailingRestore, AnUnfinishedRestoreIsAFailureAndKeepsTheDatabase) {
  const auto server = Server();
  RepairSandbox sandbox(server, "repair-unfinished-restore");
  const std::string db = sandbox.Database();
  testsupport::CreateTestDatabase(server, db, 200, /*blobs=*/false);
  AddSealedTable(server, db);
  NullInNotNullColumn(db);
  const auto identityBefore = os::IdentityOf(db);

  ScriptedDialogs dialogs;
  dialogs.Save(sandbox.DefaultSafetyCopy());
  const auto error = RunRepair(sandbox, dialogs);

  ASSERT_TRUE(error) << "an unfinished restore was reported as success";
  EXPECT_EQ(*error, RestoreFailedText());
  EXPECT_EQ(os::IdentityOf(db), identityBefore) << "the database file was replaced";
  EXPECT_EQ(testsupport::CountRows(server, db, "SALES"), 200);
  EXPECT_TRUE(Exists(sandbox.DataDir() + "/VELMAR.db_restored1")) << "the restored file is gone";
  EXPECT_FALSE(Exists(sandbox.DataDir() + "/VELMAR.db_backup1"));
  EXPECT_FALSE(Exists(paths::ToolLog()));
  std::vector<std::string> expected = RecordsUpToBackup(db, sandbox.DefaultSafetyCopy());
  expected.insert(expected.end(),
                  {"Создание резервной копии успешно завершено",
                   "Будет выполнено восстановление базы данных из резервной копии",
                   "Лог восстановления базы данных из резервной копии не содержит признака "
                   "окончания восстановления:\r\n*",
                   "Ошибка функции ремонта базы данных: " + RestoreFailedText()});
  const auto records = sandbox.Records();
  EXPECT_TRUE(RecordsAre(records, expected, RecheckOutcome()));
  // The record carries gbak's own words. The server made the restore, and gbak drops the
  // verbose lines it had not yet fetched from it when the error came (how many varies from run
  // to run), so only the error's own words are certain; the success cases prove the verbose
  // output reaches the log.
  const std::string& restoreLog = records[records.size() - 2];
  EXPECT_NE(restoreLog.find("validation error for column"), std::string::npos) << restoreLog;
}

// gbak finishes, but the unique index cannot be built over the duplicate and the new
// database stays off-line: unusable for the suite.
TEST(RepairWithFailingRestore, ARestoreThatLeavesTheDatabaseOfflineDoesNotReplaceIt) {
  const auto server = Server();
  RepairSandbox sandbox(server, "repair-offline-restore");
  const std::string db = sandbox.Database();
  testsupport::CreateTestDatabase(server, db, 200, /*blobs=*/false);
  AddSealedTable(server, db);
  DuplicateSealedKey(db);
  const auto identityBefore = os::IdentityOf(db);

  ScriptedDialogs dialogs;
  dialogs.Save(sandbox.DefaultSafetyCopy());
  const auto error = RunRepair(sandbox, dialogs);

  ASSERT_TRUE(error) << "an off-line restore was reported as success";
  EXPECT_EQ(*error, RestoreFailedText());
  EXPECT_EQ(os::IdentityOf(db), identityBefore) << "the database file was replaced";
  EXPECT_EQ(testsupport::CountRows(server, db, "SEALED"), 2);
  EXPECT_TRUE(Exists(sandbox.DataDir() + "/VELMAR.db_restored1"));
  EXPECT_FALSE(Exists(sandbox.DataDir() + "/VELMAR.db_backup1"));
  EXPECT_FALSE(Exists(paths::ToolLog()));
  const auto records = sandbox.Records();
  ASSERT_GE(records.size(), 2u);
  const std::string& restoreLog = records[records.size() - 2];
  EXPECT_NE(restoreLog.find("gbak:finishing, closing, and going home"), std::string::npos);
  EXPECT_NE(restoreLog.find("is not online"), std::string::npos) << restoreLog;
  EXPECT_EQ(records.back(), "Ошибка функции ремонта базы данных: " + RestoreFailedText());
  for (const std::string& record : records)
    EXPECT_NE(record, "Ремонт базы данных успешно завершен!");
}

}  // namespace
