// The repair of keys and references that no longer hold, against the real server: a duplicate
// primary key, and rows referring to rows the mend dropped. The restore stops at them; with
// the operator's consent the rebuilt file gets placeholders and sets rows aside.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "os/Files.h"
#include "repair/KeyRepair.h"
#include "server/FbSql.h"
#include "server/FixedPaths.h"
#include "tests/repair/RepairSandbox.h"
#include "tests/repair/RepairTestCommon.h"
#include "tests/support/DamageKit.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToolRun.h"

using namespace repairtest;
using testsupport::DamageKind;

namespace {

constexpr int kRows = 600;

std::optional<std::int64_t> OwnCount(const testsupport::FbTestServer& server, const std::string& db,
                                     const std::string& table) {
  try {
    return testsupport::CountRows(server, db, table);
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
}

BoxExpectation KeyQuestion() {
  return {.caption = "Внимание!",
          .textContains = "CUSTOMERS: будут добавлены записи-заглушки (",
          .buttons = DialogButtons::YesNo,
          .icon = DialogIcon::Warning,
          .defaultButton = 1};
}

struct KeyCase {
  DamageKind kind;
  std::string placeholderKeys;  // as the report names them; "" for any
  int setAside;                 // CUSTOMERS rows set aside
};

void PrintTo(const KeyCase& c, std::ostream* out) {
  *out << testsupport::DamageKindName(c.kind);
}

class KeyRepair : public ::testing::TestWithParam<KeyCase> {
 protected:
  // The damaged database in a fresh sandbox; the mend comes from the repair itself.
  std::string Prepare(RepairSandbox& sandbox) {
    const std::string db = sandbox.Database();
    testsupport::CreateTestDatabase(server_, db, kRows, /*blobs=*/true);
    // A trigger that would add rows the repair does not list.
    const auto trigger = testsupport::RunIsql(
        server_, db,
        "set term ^;\ncreate trigger CUSTOMERS_DOC for CUSTOMERS after insert as begin\n"
        "  insert into DOCUMENTS (ID, TITLE) values (new.ID + 100000, 'trigger');\nend^\n"
        "set term ;^\n");
    EXPECT_EQ(trigger.exitCode, 0) << trigger.err;
    testsupport::Damage(server_, db, GetParam().kind);
    return db;
  }
  testsupport::FbTestServer server_ = Server();
};

TEST_P(KeyRepair, YesEndsWithAWorkingDatabaseThatKeepsEveryReferringRow) {
  RepairSandbox sandbox(server_, "keys-yes-" + testsupport::DamageKindName(GetParam().kind));
  const std::string db = Prepare(sandbox);
  const auto customersBefore = OwnCount(server_, db, "CUSTOMERS");
  const std::string setAsideFile = keyrepair::SetAsideFilePath(sandbox.DefaultSafetyCopy());

  ScriptedDialogs dialogs;
  dialogs.Save(sandbox.DefaultSafetyCopy())
      .Box(DialogResult::Yes, KeyQuestion())
      .Box(DialogResult::Ok, SuccessBox())
      .Box(DialogResult::Ok, {.caption = "Внимание!",
                              .textContains = "CUSTOMERS: добавлены записи-заглушки с ключами " +
                                              GetParam().placeholderKeys,
                              .buttons = DialogButtons::Ok,
                              .icon = DialogIcon::Information});
  // Every lost or set-aside customer is referred to by a sale, so gets a placeholder back.
  if (!customersBefore || *customersBefore > kRows)
    dialogs.Box(DialogResult::Ok, RowLossBox());
  const auto error = RunRepair(sandbox, dialogs);
  ASSERT_FALSE(error) << *error << "\n" << dialogs.Transcript();

  ExpectWorkingDatabase(server_, db);
  EXPECT_EQ(testsupport::CountRows(server_, db, "SALES"), kRows) << "referring rows were lost";
  const auto placeholders = testsupport::QueryNumber(
      server_, db, "select count(*) from CUSTOMERS where NAME = 'Восстановлено при ремонте'");
  EXPECT_GT(placeholders, 0);
  EXPECT_EQ(testsupport::CountRows(server_, db, "CUSTOMERS"), kRows);
  EXPECT_EQ(testsupport::CountRows(server_, db, "DOCUMENTS"), kRows / 10 + 1);
  EXPECT_EQ(testsupport::QueryNumber(server_, db,
                                     "select rdb$trigger_inactive from rdb$triggers where "
                                     "rdb$trigger_name = 'CUSTOMERS_DOC'"),
            0);
  const auto boxes = dialogs.Boxes();
  ASSERT_GE(boxes.size(), 3u);
  EXPECT_NE(boxes[2].text.find("CUSTOMERS: добавлены записи-заглушки"), std::string::npos);

  // The set-aside rows run back cleanly into an empty database of the same schema.
  if (GetParam().setAside > 0) {
    ASSERT_TRUE(Exists(setAsideFile));
    EXPECT_NE(boxes[2].text.find(setAsideFile), std::string::npos) << boxes[2].text;
    const std::string empty = sandbox.DataDir() + "/EMPTY.FDB";
    testsupport::CreateTestDatabase(server_, empty, 0, false);
    const auto back = testsupport::RunTool(
        testsupport::IsqlPath(), {"-q", "-b", "-ch", "UTF8", "-user", "SYSDBA", "-password",
                                  server_.password, "-i", setAsideFile, server_.Address(empty)});
    EXPECT_EQ(back.exitCode, 0) << back.err << back.out;
    EXPECT_EQ(testsupport::CountRows(server_, empty, "CUSTOMERS"), GetParam().setAside);
  } else {
    EXPECT_FALSE(Exists(setAsideFile));
  }
}

TEST_P(KeyRepair, NoGivesTodaysEndingAndLeavesTheDatabase) {
  RepairSandbox sandbox(server_, "keys-no-" + testsupport::DamageKindName(GetParam().kind));
  const std::string db = Prepare(sandbox);
  const auto identityBefore = os::IdentityOf(db);
  ScriptedDialogs dialogs;
  dialogs.Save(sandbox.DefaultSafetyCopy()).Box(DialogResult::No, KeyQuestion());
  const auto error = RunRepair(sandbox, dialogs);
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, RestoreFailedText());
  EXPECT_EQ(os::IdentityOf(db), identityBefore);
  EXPECT_FALSE(Exists(keyrepair::SetAsideFilePath(sandbox.DefaultSafetyCopy())));
  const auto records = sandbox.Records();
  EXPECT_NE(std::find(records.begin(), records.end(),
                      "Исправление ключей и ссылок между таблицами отклонено пользователем"),
            records.end());
}

// A shop's table has Russian names and long descriptions: the set-aside file must still run.
TEST(SetAsideFile, RunsBackCyrillicNamesAndValuesLongerThanOneLiteral) {
  const auto server = Server();
  RepairSandbox sandbox(server, "set-aside-cyrillic");
  const std::string db = sandbox.Database();
  testsupport::CreateTestDatabase(server, db, 0, /*blobs=*/false,
                                  testsupport::TestTables::WithCyrillicTable);
  std::string description;  // 20 characters a time, over three literals' worth
  std::int64_t characters = 0;
  for (; description.size() < 50000; characters += 20)
    description += "Описание товара 'К' ";
  KeyRepairPlan plan;
  plan.setAside.push_back(
      {"ТОВАРЫ",
       {"КОД", "НАИМЕНОВАНИЕ", "ОПИСАНИЕ"},
       {{"1", fbsql::Literal({"Товар 1", false}), fbsql::Literal({description, false})}}});
  const std::string file = sandbox.DataDir() + "/ОТЛОЖЕННЫЕ.sql";
  ASSERT_TRUE(testsupport::PutFile(file, keyrepair::SetAsideFileText(plan, "01.01.2026 00:00")));
  const auto back = testsupport::RunTool(testsupport::IsqlPath(),
                                         {"-q", "-b", "-ch", "UTF8", "-user", "SYSDBA", "-password",
                                          server.password, "-i", file, server.Address(db)});
  EXPECT_EQ(back.exitCode, 0) << back.err << back.out;
  EXPECT_EQ(testsupport::QueryNumber(server, db,
                                     "select char_length(\"ОПИСАНИЕ\") from \"ТОВАРЫ\" "
                                     "where \"НАИМЕНОВАНИЕ\" = 'Товар 1'"),
            characters);
}

INSTANTIATE_TEST_SUITE_P(Damage, KeyRepair,
                         ::testing::Values(KeyCase{DamageKind::DuplicateKey, "7", 1},
                                           KeyCase{DamageKind::LostReferencedRows, "", 0}),
                         [](const auto& info) {
                           std::string name = testsupport::DamageKindName(info.param.kind);
                           std::erase(name, '-');
                           return name;
                         });

}  // namespace
