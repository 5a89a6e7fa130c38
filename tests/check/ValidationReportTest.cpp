// The validation report made from the tool's output: line ends and the Russian headings.
#include <gtest/gtest.h>

#include "check/ValidateDatabase.h"

namespace {

TEST(ValidationReport, ReplacesTheFirstOccurrenceOfEveryHeadingOnly) {
  const std::string output =
      "\nSummary of validation errors\n\n"
      "\tNumber of record level errors\t: 2\n"
      "\tNumber of Blob page errors\t: 1\n"
      "\tNumber of data page errors\t: 3\n"
      "\tNumber of index page errors\t: 4\n"
      "\tNumber of pointer page errors\t: 5\n"
      "\tNumber of transaction page errors\t: 6\n"
      "\tNumber of database page errors\t: 7\n"
      "Summary of validation errors\n"
      "Number of record level errors\n";
  EXPECT_EQ(ValidationReport(output),
            "\r\nПри проверке выявлены следующие ошибки:\r\n\r\n"
            "\tКол-во ошибок в записях\t: 2\r\n"
            "\tКол-во ошибок в полях БЛОБ\t: 1\r\n"
            "\tКол-во ошибок на страницах с данными\t: 3\r\n"
            "\tКол-во ошибок на страницах с индексами\t: 4\r\n"
            "\tКол-во ошибок на страницах указателей\t: 5\r\n"
            "\tКол-во ошибок на страницах транзакций\t: 6\r\n"
            "\tКол-во ошибок на страницах базы данных\t: 7\r\n"
            "Summary of validation errors\r\n"
            "Number of record level errors\r\n");
}

// Firebird 3's warning counters stand beside the error counters.
TEST(ValidationReport, GivesTheWarningCountersRussianHeadingsToo) {
  EXPECT_EQ(ValidationReport("\tNumber of record level warnings\t: 2\n"
                             "\tNumber of inventory page warnings\t: 9\n"),
            "\tКол-во предупреждений в записях\t: 2\r\n"
            "\tКол-во предупреждений на страницах учета страниц\t: 9\r\n");
}

TEST(ValidationReport, KeepsOtherTextAndCaseAndEndsEveryLineWithCrLf) {
  EXPECT_EQ(
      ValidationReport("file /x/y.fdb is not a valid database\r\nSUMMARY OF VALIDATION ERRORS"),
      "file /x/y.fdb не является файлом базы данных\r\nSUMMARY OF VALIDATION ERRORS\r\n");
  EXPECT_EQ(ValidationReport("a\rb\r\n"), "a\r\nb\r\n");
}

}  // namespace
