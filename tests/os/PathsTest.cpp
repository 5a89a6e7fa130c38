#include <gtest/gtest.h>

#include "os/Files.h"

namespace {

// Test paths are written with '/', and turned into the platform's own form.
std::string P(std::string path) {
  for (char& c : path)
    if (c == '/')
      c = os::PathDelimiter();
  return path;
}

TEST(PathHelpers, SplitDirectoryAndName) {
  EXPECT_EQ(os::ExtractFileName(P("/data/db.v1/VELMAR.FDB")), "VELMAR.FDB");
  EXPECT_EQ(os::ExtractFilePath(P("/data/db.v1/VELMAR.FDB")), P("/data/db.v1/"));
  EXPECT_EQ(os::ExtractFileDir(P("/data/db.v1/VELMAR.FDB")), P("/data/db.v1"));
  EXPECT_EQ(os::ExtractFileName("VELMAR.FDB"), "VELMAR.FDB");
  EXPECT_EQ(os::ExtractFilePath("VELMAR.FDB"), "");
  EXPECT_EQ(os::ExtractFileDir("VELMAR.FDB"), "");
  EXPECT_EQ(os::ExtractFileName(P("/data/dir/")), "");
  // The root stays a directory of its own.
  EXPECT_EQ(os::ExtractFileDir(P("/VELMAR.FDB")), P("/"));
}

TEST(PathHelpers, ExtensionComesFromTheNameOnly) {
  EXPECT_EQ(os::ExtractFileExt(P("/data/db.v1/VELMAR.FDB")), ".FDB");
  EXPECT_EQ(os::ExtractFileExt(P("/data/db.v1/VELMAR")), "");
  EXPECT_EQ(os::ExtractFileExt(P("/data/base.tar.gz")), ".gz");
  EXPECT_EQ(os::ExtractFileExt("name."), ".");
}

TEST(PathHelpers, ChangeFileExtReplacesFromTheLastDotOfTheName) {
  EXPECT_EQ(os::ChangeFileExt(P("/kora/db/VELMAR.FDB"), ".db_backup"),
            P("/kora/db/VELMAR.db_backup"));
  EXPECT_EQ(os::ChangeFileExt(P("/kora/db/VELMAR.old.FDB"), ".db_restored1"),
            P("/kora/db/VELMAR.old.db_restored1"));
  // No dot in the name: the extension is appended, a dot in a folder name is not touched.
  EXPECT_EQ(os::ChangeFileExt(P("/kora/db.v2/VELMAR"), ".db_backup1"),
            P("/kora/db.v2/VELMAR.db_backup1"));
  EXPECT_EQ(os::ChangeFileExt("VELMAR", ".log"), "VELMAR.log");
  EXPECT_EQ(os::ChangeFileExt("VELMAR.FDB", ""), "VELMAR");
  // Cyrillic names are bytes like any other.
  EXPECT_EQ(os::ChangeFileExt(P("/база/Велмар.fdb"), ".db_backup"), P("/база/Велмар.db_backup"));
}

TEST(PathHelpers, TrailingDelimiterAndDirectoryPart) {
  EXPECT_EQ(os::IncludeTrailingDelimiter(P("/kora/temp")), P("/kora/temp/"));
  EXPECT_EQ(os::IncludeTrailingDelimiter(P("/kora/temp/")), P("/kora/temp/"));
  EXPECT_EQ(os::IncludeTrailingDelimiter(""), P("/"));
  EXPECT_TRUE(os::HasDirectoryPart(P("dir/file")));
  EXPECT_FALSE(os::HasDirectoryPart("file.txt"));
  EXPECT_TRUE(os::IsPathDelimiter(os::PathDelimiter()));
  EXPECT_FALSE(os::IsPathDelimiter('.'));
}

}  // namespace
