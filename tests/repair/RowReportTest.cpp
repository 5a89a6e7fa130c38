// The row report's decisions and the salvage's pattern, without a server.
#include <gtest/gtest.h>

#include "repair/RepairMessages.h"
#include "repair/RowReport.h"
#include "repair/TableSalvage.h"

namespace {

rowcount::TableRowCounts Counts(std::vector<rowcount::TableRows> tables) {
  rowcount::TableRowCounts counts;
  counts.tables = std::move(tables);
  return counts;
}

std::vector<std::string> Names(const std::vector<TableChange>& changes) {
  std::vector<std::string> names;
  for (const auto& change : changes)
    names.push_back(change.table);
  return names;
}

TEST(RowReport, NamesTablesWithFewerRowsOrUnknownFiguresAndNothingElse) {
  RowReport report;
  report.SetBefore(Counts({{"SAME", 10, {}},
                           {"FEWER", 10, {}},
                           {"MORE", 10, {}},
                           {"UNREAD", std::nullopt, "page 7 is of wrong type"},
                           {"GONE", 5, {}}}));
  report.SetAfter(
      Counts({{"SAME", 10, {}}, {"FEWER", 9, {}}, {"MORE", 11, {}}, {"UNREAD", 4, {}}}));
  report.MarkEmptied({"UNREAD"});
  report.MarkPartlyCopied({{"UNREAD", PartlyCopied{4, 1, /*finished=*/false}}});
  EXPECT_EQ(Names(report.Losses()), (std::vector<std::string>{"FEWER", "GONE", "UNREAD"}));
  EXPECT_EQ(repairtext::TableRowsRecord(report.Losses().back()),
            "Таблица UNREAD: записей до ремонта не удалось подсчитать, после ремонта 4 (таблица "
            "читалась не полностью: перенесено записей 4, остальные прочитать не удалось)");
  EXPECT_EQ(Names(report.Tables()),
            (std::vector<std::string>{"FEWER", "GONE", "MORE", "SAME", "UNREAD"}));
}

TEST(RowReport, WithoutAnyCountNoTableIsNamedButTheBoxSaysTheRowsWereNotChecked) {
  RowReport report;
  rowcount::TableRowCounts none;
  none.error = "no client library";
  report.SetBefore(none);
  EXPECT_TRUE(report.Missing().before);
  EXPECT_FALSE(report.Missing().after);
  report.SetAfter(none);
  EXPECT_TRUE(report.Tables().empty());
  EXPECT_TRUE(report.Missing().before && report.Missing().after);
  const std::string text = repairtext::RowLossBoxText({}, "", report.Missing());
  EXPECT_EQ(text,
            "Ремонт базы данных завершен, но проверить, не потеряны ли записи, не удалось.\r\n"
            "Число записей до и после ремонта подсчитать не удалось.\r\n"
            "Проверьте данные и при необходимости введите их заново.");
}

TEST(RowReport, TheBoxListsTenTablesAndPointsToTheFileForTheRest) {
  std::vector<TableChange> losses;
  for (int i = 0; i < 12; ++i)
    losses.push_back({"T" + std::to_string(i), 2, 1, false});
  const std::string text = repairtext::RowLossBoxText(losses, "/copies/V.txt");
  EXPECT_NE(text.find("T9: до ремонта 2, после ремонта 1\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("T10:"), std::string::npos) << text;
  EXPECT_NE(text.find("и еще таблиц: 2 (полный список в отчете)\r\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("Отчет сохранен в файле:\r\n/copies/V.txt")) << text;
}

TEST(RowReport, TheReportFileNeverTakesTheSafetyCopysPlace) {
  EXPECT_EQ(rowreporttext::FilePath("/b/VELMAR_BACKUP.FDB"), "/b/VELMAR_BACKUP.txt");
  EXPECT_EQ(rowreporttext::FilePath("/b/copy.TXT"), "/b/copy.TXT.txt");
}

TEST(SkipDataPattern, MatchesExactlyTheNamedTables) {
  struct Case {
    std::vector<std::string> tables;
    std::string pattern;
  } cases[] = {
      {{"ORDERS"}, "ORDERS"},
      {{"ORDERS", "SALES"}, "(ORDERS|SALES)"},
      // Every SIMILAR TO operator in a name stands for itself.
      {{"SALE_ITEMS", "100%"}, "(SALE\\_ITEMS|100\\%)"},
      {{"A(B)|C*+?{1}[x]^-\\"}, "A\\(B\\)\\|C\\*\\+\\?\\{1\\}\\[x\\]\\^\\-\\\\"},
      {{"Заказы 2024"}, "Заказы 2024"},
      // A name the command line cannot carry: no salvage rather than the wrong tables.
      {{"ORDERS", "SAY \"HI\""}, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(salvage::SkipDataPattern(c.tables, c.tables), c.pattern) << c.pattern;
  // gbak ignores letter case: "orders" would lose its rows with ORDERS.
  EXPECT_EQ(salvage::SkipDataPattern({"ORDERS"}, {"ORDERS", "SALES", "orders"}), "");
  EXPECT_EQ(salvage::SkipDataPattern({"ORDERS", "orders"}, {"ORDERS", "orders"}),
            "(ORDERS|orders)");
}

}  // namespace
