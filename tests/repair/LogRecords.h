// Reading the session log back in repair tests: records and their order.
#pragma once

#include <string>
#include <vector>

#include "tests/support/LogRecords.h"

namespace repairtest {

// Texts of the records of session log text (UTF-8), level tags dropped; lines without a time
// stamp continue the record before them and are joined to it with "\r\n".
inline std::vector<std::string> ParseRecords(const std::string& text) {
  return testsupport::TextsOf(testsupport::ParseLogRecords(text, "\r\n"));
}

using testsupport::RecordsAre;

}  // namespace repairtest
