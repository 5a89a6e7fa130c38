// The session log read back as records, for comparing with the texts the check must write.
#pragma once

#include "tests/support/LogRecords.h"

namespace checktest {

using testsupport::LogRecord;
using testsupport::ParseLogRecords;
using testsupport::ReadSessionLogRecords;
using testsupport::TextsOf;
using testsupport::WithoutCarriageReturns;

}  // namespace checktest
