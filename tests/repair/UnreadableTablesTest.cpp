// Tables the rebuild's backup cannot read, against the real server: which tables the salvage
// names, and what becomes of the rows that refer to a table it empties.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "os/Files.h"
#include "repair/OutOfReach.h"
#include "repair/TableSalvage.h"
#include "tests/repair/RepairTestCommon.h"
#include "tests/support/DamageKit.h"
#include "tests/support/TestDatabase.h"

using namespace repairtest;
using testsupport::DamageKind;

namespace {

constexpr int kRows = 600;

// CUSTOMERS is counted first; its count stops at a bugcheck that spoils the attachment.
TEST(SalvageList, ABugcheckInOneTableLeavesTheTablesCountedAfterItReadable) {
  const auto server = Server();
  RepairSandbox sandbox(server, "salvage-bugcheck");
  testsupport::CreateTestDatabase(server, sandbox.Database(), kRows, /*blobs=*/false);
  testsupport::Damage(server, sandbox.Database(), DamageKind::LostBackVersion, "CUSTOMERS");
  const auto counts = rowcount::CountTableRows({server.port, server.password}, sandbox.Database());
  ASSERT_FALSE(counts.error) << *counts.error;
  EXPECT_EQ(salvage::UnreadableTables(counts), std::vector<std::string>{"CUSTOMERS"});
  std::map<std::string, std::optional<std::int64_t>> rows;
  for (const auto& table : counts.tables)
    rows[table.table] = table.rows;
  EXPECT_EQ(rows["DOCUMENTS"], kRows / 10 + 1);
  EXPECT_EQ(rows["SALES"], kRows);
}

// Every sale refers to a customer, and the pointer page of CUSTOMERS is zeroed.
TEST(SalvageOfAReferredTable, YesKeepsEverySaleThroughPlaceholdersAndNoKeepsTheBackupFailure) {
  for (const DialogResult answer : {DialogResult::No, DialogResult::Yes}) {
    const auto server = Server();
    RepairSandbox sandbox(server, answer == DialogResult::Yes ? "referred-yes" : "referred-no");
    const std::string db = sandbox.Database();
    testsupport::CreateTestDatabase(server, db, kRows, /*blobs=*/false);
    testsupport::Damage(server, db, DamageKind::ZeroPointerPage, "CUSTOMERS");
    ScriptedDialogs dialogs;
    dialogs.Save(sandbox.DefaultSafetyCopy())
        .Box(answer, {.caption = "Внимание!",
                      .textContains = "не читается таблица\r\nCUSTOMERS\r\n",
                      .buttons = DialogButtons::YesNo,
                      .icon = DialogIcon::Warning,
                      .defaultButton = 1});
    if (answer == DialogResult::No) {
      EXPECT_EQ(RunRepair(sandbox, dialogs), BackupFailedText());
      continue;
    }
    dialogs.Box(DialogResult::Ok, SuccessBox())
        .Box(DialogResult::Ok,
             {.caption = "Внимание!",
              .textContains = "CUSTOMERS: добавлены записи-заглушки с ключами 0; 1; ",
              .buttons = DialogButtons::Ok,
              .icon = DialogIcon::Information})
        .Box(DialogResult::Ok, RowLossBox());
    const auto error = RunRepair(sandbox, dialogs);
    ASSERT_FALSE(error) << *error << "\n" << dialogs.Transcript();
    ExpectWorkingDatabase(server, db);
    EXPECT_EQ(testsupport::CountRows(server, db, "SALES"), kRows);
    // Every customer is a placeholder: its unique CODE holds the bare key, not "C" and the key.
    EXPECT_EQ(testsupport::CountRows(server, db, "CUSTOMERS"), kRows);
    EXPECT_EQ(testsupport::QueryNumber(server, db,
                                       "select count(*) from CUSTOMERS where CODE starting 'C'"),
              0);
    const auto boxes = dialogs.Boxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_NE(boxes[0].text.find("На записи таблицы CUSTOMERS ссылаются другие таблицы"),
              std::string::npos);
    EXPECT_NE(boxes[3].text.find("CUSTOMERS: до ремонта не удалось подсчитать, после ремонта 600 "
                                 "(таблица не читалась и восстановлена без записей; добавлено "
                                 "записей-заглушек: 600)\r\n"),
              std::string::npos)
        << boxes[3].text;
  }
}

// Half the records of one page lose their older versions after the mend, which keeps the
// backup and every scan of the table from reading it whole; its other rows still read by key,
// long descriptions and all. Every sale refers to a customer: a customer that cannot be read
// stays a placeholder, the others get their own rows back.
TEST(SalvageOfAPartlyReadableTable, YesCopiesBackEveryRowThatReadsAndNamesTheRest) {
  for (const std::string table : {"ТОВАРЫ", "CUSTOMERS"}) {
    const bool referred = table == "CUSTOMERS";
    const auto server = Server();
    RepairSandbox sandbox(server, referred ? "partly-referred" : "partly");
    const std::string db = sandbox.Database();
    testsupport::CreateTestDatabase(server, db, kRows, /*blobs=*/true,
                                    testsupport::TestTables::WithCyrillicTable);
    int lost = 0;
    SetRepairStepHook([&](const std::string& step) {
      if (step == "rebuild")
        std::sscanf(
            testsupport::Damage(server, WorkFilePath(db), DamageKind::LostBackVersion, table)
                .what.c_str(),
            "lost back versions of %d", &lost);
    });
    ScriptedDialogs dialogs;
    dialogs.Save(sandbox.DefaultSafetyCopy())
        .Box(DialogResult::Yes,
             {.caption = "Внимание!",
              .textContains = "не читается таблица\r\n" + table +
                              "\r\nБазу данных можно восстановить с теми записями этой таблицы, "
                              "которые\r\nудастся прочитать; остальные ее записи будут потеряны.",
              .buttons = DialogButtons::YesNo,
              .icon = DialogIcon::Warning,
              .defaultButton = 1})
        .Box(DialogResult::Ok, SuccessBox());
    if (referred)
      dialogs.Box(DialogResult::Ok,
                  {.caption = "Внимание!",
                   .textContains = "CUSTOMERS: добавлены записи-заглушки с ключами ",
                   .buttons = DialogButtons::Ok,
                   .icon = DialogIcon::Information});
    dialogs.Box(DialogResult::Ok, RowLossBox());
    const auto error = RunRepair(sandbox, dialogs);
    SetRepairStepHook({});
    ASSERT_FALSE(error) << *error << "\n" << dialogs.Transcript();
    ASSERT_GT(lost, 0);
    ExpectWorkingDatabase(server, db);
    const int copied = kRows - lost;
    EXPECT_EQ(testsupport::QueryNumber(
                  server, db,
                  referred ? "select count(*) from CUSTOMERS where CODE starting 'C'"
                           : "select count(*) from \"ТОВАРЫ\" where \"ОПИСАНИЕ\" = lpad(_WIN1251 "
                             "'', 12000, 'Описание товара ' || \"КОД\" || '. ') and "
                             "\"НАИМЕНОВАНИЕ\" = 'Товар ' || \"КОД\""),
              copied);
    EXPECT_EQ(testsupport::CountRows(server, db, "SALES"), kRows);
    const std::string line =
        table + ": до ремонта " + std::to_string(kRows) + ", после ремонта " +
        std::to_string(referred ? kRows : copied) +
        " (таблица читалась не полностью: перенесено записей " + std::to_string(copied) +
        ", не удалось перенести " + std::to_string(lost) +
        (referred ? "; добавлено записей-заглушек: " + std::to_string(lost) : "") + ")\r\n";
    EXPECT_NE(dialogs.Boxes().back().text.find(line), std::string::npos)
        << dialogs.Boxes().back().text;
  }
}

}  // namespace
