// How the rebuild reads gbak's log: line ends, markers and the signs of an unusable restore.
#include <gtest/gtest.h>

#include <filesystem>

#include "os/Files.h"
#include "repair/RebuildDatabase.h"
#include "repair/ToolLogText.h"
#include "tests/repair/ToolLogFile.h"

namespace {

const std::string kRestoreMarker = "gbak:finishing, closing, and going home";

TEST(ToolLogText, EveryKindOfLineEndReadsAsCrLfAndTheLastLineGetsOne) {
  ScratchFile file("a\nb\r\nc\rd");
  EXPECT_EQ(toollog::ReadAsText(file.Path()), "a\r\nb\r\nc\r\nd\r\n");
  ScratchFile ended("one\r\n");
  EXPECT_EQ(toollog::ReadAsText(ended.Path()), "one\r\n");
  ScratchFile blankLines("\n\nx\n");
  EXPECT_EQ(toollog::ReadAsText(blankLines.Path()), "\r\n\r\nx\r\n");
  ScratchFile empty("");
  EXPECT_EQ(toollog::ReadAsText(empty.Path()), "");
}

TEST(ToolLogText, AMissingLogIsAnError) {
  EXPECT_ANY_THROW(toollog::ReadAsText(std::filesystem::temp_directory_path().string() +
                                       "/no-such-tool-log.log"));
}

TEST(ToolLogText, MarkersCountAnywhereButOnlyInTheirOwnCase) {
  const std::string marker = "gbak:closing file, committing, and finishing.";
  EXPECT_TRUE(toollog::HasMarker("x\r\n" + marker + " 1536 bytes written\r\n", marker));
  EXPECT_TRUE(toollog::HasMarker("prefix " + marker, marker));
  EXPECT_FALSE(toollog::HasMarker("GBAK:CLOSING FILE, COMMITTING, AND FINISHING.", marker));
  EXPECT_FALSE(toollog::HasMarker("gbak:closing file, committing,\r\nand finishing.", marker));
}

TEST(ToolLogText, AnErrorLineAnywhereOrAnOfflineDatabaseCondemnsTheRun) {
  const std::string clean = "gbak:restoring data\r\n" + kRestoreMarker +
                            "\r\ngbak:adjusting the ONLINE and FORCED WRITES flags\r\n";
  EXPECT_FALSE(toollog::ReportsError(clean));
  EXPECT_FALSE(toollog::LeftDatabaseOffline(clean));
  // The error stream is not buffered and standard output is: the error line lands first.
  EXPECT_TRUE(toollog::ReportsError("gbak: ERROR:I/O error\r\n" + clean));
  EXPECT_TRUE(toollog::ReportsError(clean + "gbak: ERROR:I/O error\r\n"));
  EXPECT_TRUE(toollog::LeftDatabaseOffline(
      clean + "gbak:Database is not online due to failure to activate one or more indices.\r\n"));
}

TEST(RebuildFiles, TheExtensionIsReplacedFromTheLastDotOfTheName) {
  const std::string dir = os::IncludeTrailingDelimiter("db.folder");
  EXPECT_EQ(IntermediateBackupPath(dir + "VELMAR.FDB"), dir + "VELMAR.db_backup1");
  EXPECT_EQ(RestoredFilePath(dir + "VELMAR.FDB"), dir + "VELMAR.db_restored1");
  EXPECT_EQ(RestoredFilePath(dir + "a.b.FDB"), dir + "a.b.db_restored1");
  EXPECT_EQ(IntermediateBackupPath(dir + "VELMAR"), dir + "VELMAR.db_backup1");
  EXPECT_EQ(RestoredFilePath(dir + "VELMAR"), dir + "VELMAR.db_restored1");
}

}  // namespace
