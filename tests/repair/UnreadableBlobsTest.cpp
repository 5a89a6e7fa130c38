// Long values (BLOB fields) that cannot be read, against the real server, on a WIN1251
// database with a table and columns of Cyrillic names. The blob page is zeroed after the mend,
// as the mend leaves some such damage: the backup stops, every row can still be counted, and
// with the operator's consent just the unreadable field is cleared.
#include <gtest/gtest.h>

#include <algorithm>

#include "repair/OutOfReach.h"
#include "tests/repair/RepairSandbox.h"
#include "tests/repair/RepairTestCommon.h"
#include "tests/support/DamageKit.h"
#include "tests/support/TestDatabase.h"

using namespace repairtest;

namespace {

constexpr int kRows = 300;

BoxExpectation BlobQuestion() {
  return {.caption = "Внимание!",
          .textContains = "не читаются поля с большими данными (BLOB):\r\nТаблица ",
          .buttons = DialogButtons::YesNo,
          .icon = DialogIcon::Warning,
          .defaultButton = 1};
}

class UnreadableBlobs : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::CreateTestDatabase(server_, sandbox_.Database(), kRows, /*blobs=*/true,
                                    testsupport::TestTables::WithCyrillicTable);
    SetRepairStepHook([this](const std::string& step) {
      if (step == "rebuild")
        testsupport::Damage(server_, WorkFilePath(sandbox_.Database()),
                            testsupport::DamageKind::ZeroBlobPage);
    });
  }
  void TearDown() override { SetRepairStepHook({}); }

  std::int64_t Number(const std::string& query) {
    return testsupport::QueryNumber(server_, sandbox_.Database(), query);
  }
  // The one field left empty, as the report names it; "" when there is none or more.
  std::string EmptiedField() {
    const std::int64_t documents = Number("select count(*) from DOCUMENTS where BODY is null");
    const std::int64_t goods = Number("select count(*) from \"ТОВАРЫ\" where \"ОПИСАНИЕ\" is null");
    if (documents + goods != 1)
      return "";
    return documents == 1
               ? "Таблица DOCUMENTS, запись ID = " +
                     std::to_string(Number("select ID from DOCUMENTS where BODY is null")) +
                     ", поле BODY"
               : "Таблица ТОВАРЫ, запись КОД = " +
                     std::to_string(
                         Number("select \"КОД\" from \"ТОВАРЫ\" where \"ОПИСАНИЕ\" is null")) +
                     ", поле ОПИСАНИЕ";
  }

  testsupport::FbTestServer server_ = Server();
  RepairSandbox sandbox_{server_, "blobs"};
};

TEST_F(UnreadableBlobs, YesClearsJustTheUnreadableFieldAndNamesIt) {
  ScriptedDialogs dialogs;
  dialogs.Save(sandbox_.DefaultSafetyCopy())
      .Box(DialogResult::Yes, BlobQuestion())
      .Box(DialogResult::Ok, SuccessBox())
      .Box(DialogResult::Ok,
           {.caption = "Внимание!",
            .textContains = "При ремонте программа очистила поля, которые не читались:\r\n",
            .buttons = DialogButtons::Ok,
            .icon = DialogIcon::Information});
  const auto error = RunRepair(sandbox_, dialogs);
  ASSERT_FALSE(error) << *error << "\n" << dialogs.Transcript();

  ExpectWorkingDatabase(server_, sandbox_.Database());
  for (const char* table : {"CUSTOMERS", "SALES", "\"ТОВАРЫ\""})
    EXPECT_EQ(testsupport::CountRows(server_, sandbox_.Database(), table), kRows) << table;
  EXPECT_EQ(testsupport::CountRows(server_, sandbox_.Database(), "DOCUMENTS"), kRows / 10 + 1);
  EXPECT_EQ(Number("select count(*) from CUSTOMERS where NAME starting 'Покупатель '"), kRows);

  const std::string field = EmptiedField();
  ASSERT_NE(field, "") << "not exactly one field was cleared";
  const auto boxes = dialogs.Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_NE(boxes[0].text.find(field + "\r\n"), std::string::npos) << boxes[0].text;
  EXPECT_EQ(boxes[2].text, "При ремонте программа очистила поля, которые не читались:\r\n" + field +
                               "\r\nДанные этих полей нужно ввести заново.");
  const auto records = sandbox_.Records();
  for (const std::string& record :
       {"Очищены нечитаемые поля записей:\r\n" + field,
        std::string("Таблица ТОВАРЫ: записей до ремонта 300, после ремонта 300")})
    EXPECT_NE(std::find(records.begin(), records.end(), record), records.end())
        << record << "\n"
        << ::testing::PrintToString(records);
}

TEST_F(UnreadableBlobs, NoKeepsTheFailedBackupsEnding) {
  ScriptedDialogs dialogs;
  dialogs.Save(sandbox_.DefaultSafetyCopy()).Box(DialogResult::No, BlobQuestion());
  const auto error = RunRepair(sandbox_, dialogs);
  ASSERT_TRUE(error) << dialogs.Transcript();
  EXPECT_EQ(*error, BackupFailedText());
  EXPECT_EQ(EmptiedField(), "") << "a field was cleared after No";
  const auto records = sandbox_.Records();
  EXPECT_NE(
      std::find(records.begin(), records.end(), "Очистка нечитаемых полей отклонена пользователем"),
      records.end())
      << ::testing::PrintToString(records);
}

}  // namespace
