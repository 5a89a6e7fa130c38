#include <gtest/gtest.h>

#include "os/Files.h"

namespace {

TEST(PosixPathHelpers, BackslashAndColonAreOrdinaryCharacters) {
  EXPECT_EQ(os::PathDelimiter(), '/');
  EXPECT_FALSE(os::IsPathDelimiter('\\'));
  EXPECT_EQ(os::ExtractFileName("/srv/a\\b:c.fdb"), "a\\b:c.fdb");
  EXPECT_EQ(os::ExtractFileDir("/srv/a\\b:c.fdb"), "/srv");
}

}  // namespace
