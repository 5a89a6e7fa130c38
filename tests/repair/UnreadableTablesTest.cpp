// Tables the rebuild's backup cannot read, against the real server: which tables the salvage
// names, and what becomes of the rows that refer to a table it empties.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>

#include "os/Files.h"
#include "repair/TableSalvage.h"
#include "server/FbRowCounter.h"
#include "tests/repair/RepairSandbox.h"
#include "tests/repair/RepairTestCommon.h"
#include "tests/support/DamageKit.h"
#include "tests/support/TestDatabase.h"

using namespace repairtest;
using testsupport::DamageKind;

namespace {

constexpr int kRows = 600;

bool HasRecord(const std::vector<std::string>& records, const std::string& record) {
  return std::find(records.begin(), records.end(), record) != records.end();
}

TEST(SalvageQuestion, SpeaksOfOneTableOrOfSeveral) {
  const std::string one = salvage::QuestionText({"SALES"}, "C:\\copy.fdb");
  EXPECT_NE(one.find("не читается таблица\r\nSALES\r\n"), std::string::npos) << one;
  EXPECT_TRUE(one.ends_with("Восстановить базу данных без записей этой таблицы?")) << one;
  const std::string two = salvage::QuestionText({"SALES", "CUSTOMERS"}, "C:\\copy.fdb");
  EXPECT_NE(two.find("не читаются таблицы\r\nSALES, CUSTOMERS\r\n"), std::string::npos) << two;
  EXPECT_TRUE(two.ends_with("Восстановить базу данных без записей этих таблиц?")) << two;
  EXPECT_EQ(two.find("Все остальные"), std::string::npos) << two;
}

// Lost back versions in CUSTOMERS, the first table counted: its count stops at a bugcheck,
// after which the server refuses every statement on that attachment.
TEST(SalvageList, ABugcheckInOneTableLeavesTheTablesCountedAfterItReadable) {
  const auto server = Server();
  RepairSandbox sandbox(server, "salvage-bugcheck");
  const std::string db = sandbox.Database();
  testsupport::CreateTestDatabase(server, db, kRows, /*blobs=*/false);
  testsupport::Damage(server, db, DamageKind::LostBackVersion, "CUSTOMERS");

  const rowcount::TableRowCounts counts =
      rowcount::CountTableRows({"127.0.0.1", server.port, "SYSDBA", server.password}, db);
  ASSERT_FALSE(counts.error) << *counts.error;
  ASSERT_FALSE(counts.tables.empty());
  EXPECT_EQ(counts.tables[0].table, "CUSTOMERS") << "the damage is not counted first";
  EXPECT_NE(counts.tables[0].error.find("cannot find record back version"), std::string::npos)
      << counts.tables[0].error;
  EXPECT_EQ(salvage::UnreadableTables(counts), std::vector<std::string>{"CUSTOMERS"});
  std::map<std::string, std::optional<std::int64_t>> rows;
  for (const auto& table : counts.tables)
    rows[table.table] = table.rows;
  EXPECT_EQ(rows["DOCUMENTS"], kRows / 10 + 1);
  EXPECT_EQ(rows["SALES"], kRows);
}

// CUSTOMERS, which every sale refers to, cannot be read at all: its pointer page is zeroed.
class ReferredTableSalvage : public ::testing::Test {
 protected:
  std::string Prepare(RepairSandbox& sandbox) {
    const std::string db = sandbox.Database();
    testsupport::CreateTestDatabase(server_, db, kRows, /*blobs=*/false);
    testsupport::Damage(server_, db, DamageKind::ZeroPointerPage, "CUSTOMERS");
    return db;
  }
  static BoxExpectation Question() {
    return {.caption = "Внимание!",
            .textContains = "не читается таблица\r\nCUSTOMERS\r\n",
            .buttons = DialogButtons::YesNo,
            .icon = DialogIcon::Warning,
            .defaultButton = 1};
  }
  testsupport::FbTestServer server_ = Server();
};

TEST_F(ReferredTableSalvage, YesEndsWithAWorkingDatabaseWhereEverySaleKeepsItsCustomer) {
  RepairSandbox sandbox(server_, "salvage-referred-yes");
  const std::string db = Prepare(sandbox);
  ScriptedDialogs dialogs;
  dialogs.Save(sandbox.DefaultSafetyCopy())
      .Box(DialogResult::Yes, Question())
      .Box(DialogResult::Ok, SuccessBox())
      .Box(DialogResult::Ok,
           {.caption = "Внимание!",
            .textContains = "CUSTOMERS: добавлены записи-заглушки с ключами 0; 1; 2; ",
            .buttons = DialogButtons::Ok,
            .icon = DialogIcon::Information})
      .Box(DialogResult::Ok, RowLossBox());
  const auto error = RunRepair(sandbox, dialogs);
  ASSERT_FALSE(error) << *error << "\n" << dialogs.Transcript();

  const auto validation = testsupport::ValidateFull(server_, db);
  EXPECT_EQ(Blank(validation.err) + Blank(validation.out), "");
  EXPECT_EQ(testsupport::QueryNumber(server_, db,
                                     "select count(*) from rdb$indices where "
                                     "coalesce(rdb$system_flag, 0) = 0 and rdb$index_inactive = 1"),
            0)
      << "an index was left inactive";
  EXPECT_EQ(testsupport::CountRows(server_, db, "SALES"), kRows);
  EXPECT_EQ(testsupport::CountRows(server_, db, "DOCUMENTS"), kRows / 10 + 1);
  // Every customer is a placeholder: its unique CODE holds its key, not "C" and the key.
  EXPECT_EQ(testsupport::CountRows(server_, db, "CUSTOMERS"), kRows);
  EXPECT_EQ(testsupport::QueryNumber(server_, db,
                                     "select count(*) from CUSTOMERS where CODE starting with 'C'"),
            0);
  const auto boxes = dialogs.Boxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_NE(boxes[0].text.find("На записи таблицы CUSTOMERS ссылаются другие таблицы"),
            std::string::npos)
      << boxes[0].text;
  const std::string figures =
      "до ремонта не удалось подсчитать, после ремонта " + std::to_string(kRows) +
      " (таблица не читалась и восстановлена без записей; добавлено записей-заглушек: " +
      std::to_string(kRows) + ")";
  EXPECT_NE(boxes[3].text.find("CUSTOMERS: " + figures + "\r\n"), std::string::npos)
      << boxes[3].text;
  EXPECT_TRUE(HasRecord(sandbox.Records(), "Таблица CUSTOMERS: записей " + figures))
      << ::testing::PrintToString(sandbox.Records());
}

TEST_F(ReferredTableSalvage, NoKeepsTheBackupFailureAndTheMendedFile) {
  RepairSandbox sandbox(server_, "salvage-referred-no");
  const std::string db = Prepare(sandbox);
  const auto identityBefore = os::IdentityOf(db);
  ScriptedDialogs dialogs;
  dialogs.Save(sandbox.DefaultSafetyCopy()).Box(DialogResult::No, Question());
  const auto error = RunRepair(sandbox, dialogs);
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, BackupFailedText());
  EXPECT_EQ(os::IdentityOf(db), identityBefore);
  EXPECT_TRUE(HasRecord(sandbox.Records(),
                        "Восстановление базы данных без записей таблиц отклонено пользователем"));
}

}  // namespace
