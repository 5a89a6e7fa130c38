#include <gtest/gtest.h>

#include "os/Files.h"

namespace {

TEST(WindowsPathHelpers, DrivesAndForwardSlashes) {
  EXPECT_EQ(os::PathDelimiter(), '\\');
  EXPECT_TRUE(os::IsPathDelimiter('/'));
  EXPECT_EQ(os::ExtractFileDir("C:\\KORA\\DB\\VELMAR.FDB"), "C:\\KORA\\DB");
  EXPECT_EQ(os::ExtractFileDir("C:\\VELMAR.FDB"), "C:\\");
  EXPECT_EQ(os::ExtractFileName("C:VELMAR.FDB"), "VELMAR.FDB");
  EXPECT_EQ(os::ExtractFileName("C:/KORA/DB/VELMAR.FDB"), "VELMAR.FDB");
  EXPECT_EQ(os::ExtractFilePath("C:/KORA/DB/VELMAR.FDB"), "C:/KORA/DB/");
  EXPECT_EQ(os::ChangeFileExt("C:\\KORA.V2\\DB\\VELMAR", ".db_backup"),
            "C:\\KORA.V2\\DB\\VELMAR.db_backup");
}

}  // namespace
