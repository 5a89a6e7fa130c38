// Reading the session log back in tests: records and their order.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace repairtest {

// Texts of the records of session log text (UTF-8), level tags dropped; lines without a time
// stamp continue the record before them and are joined to it with "\r\n".
std::vector<std::string> ParseRecords(const std::string& text);

// The records, leaving out those matching `optional`, are exactly `expected`. A pattern
// ending in '*' matches every record that starts with the rest of it.
::testing::AssertionResult RecordsAre(const std::vector<std::string>& records,
                                      const std::vector<std::string>& expected,
                                      const std::vector<std::string>& optional = {});

}  // namespace repairtest
