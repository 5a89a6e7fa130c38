// The program-wide reference to the session log.
#include <gtest/gtest.h>

#include <stdexcept>

#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "tests/log/LogTestSupport.h"

namespace {

TEST(SessionLog, PublishedLogIsReachedUntilWithdrawn) {
  logtest::ScratchDir dir;
  EXPECT_EQ(SessionLogOrNull(), nullptr);
  EXPECT_THROW(SessionLog(), std::logic_error);
  THuxLogger log(dir / "session.log");
  PublishSessionLog(&log);
  EXPECT_EQ(&SessionLog(), &log);
  SessionLog().Write("Программа запущена");
  PublishSessionLog(nullptr);
  EXPECT_EQ(SessionLogOrNull(), nullptr);
  EXPECT_EQ(logtest::SplitRecords(logtest::ReadBytes(dir / "session.log")).size(), 1u);
}

}  // namespace
