// The program's fixed paths: the suite's own tree on Windows, the same tree under one
// movable root on Linux.
#include <gtest/gtest.h>

#include "os/Environment.h"
#include "server/FixedPaths.h"

namespace {

#ifdef _WIN32

TEST(FixedPaths, AreTheSuitesOwnPaths) {
  EXPECT_EQ(paths::KoraRoot(), "C:\\KORA");
  EXPECT_EQ(paths::DefaultDatabase(), "C:\\KORA\\DB\\VELMAR.FDB");
  EXPECT_EQ(paths::FirebirdDirectory(), "C:\\KORA\\FIREBIRD");
  EXPECT_EQ(paths::Gfix(), "C:\\KORA\\FIREBIRD\\bin\\gfix.exe");
  EXPECT_EQ(paths::Gbak(), "C:\\KORA\\FIREBIRD\\bin\\gbak.exe");
  EXPECT_EQ(paths::ServerLog(), "C:\\KORA\\FIREBIRD\\firebird.log");
  EXPECT_EQ(paths::SessionLogFile(), "C:\\KORA\\LogFiles\\VelmarDBRepair.log");
  EXPECT_EQ(paths::WorkDirectory(), "C:\\KORA\\TEMP\\DBRepair\\");
  EXPECT_EQ(paths::ToolLog(), "C:\\KORA\\TEMP\\DBRepair\\FireBirdFixLog.log");
  EXPECT_EQ(paths::SafetyCopyFolder(), "C:\\Kora\\Backup\\FireBirdBase");
  EXPECT_EQ(paths::SuiteLibrary(), "C:\\KORA\\fbUtils.dll");
  EXPECT_EQ(paths::SuiteLibraryFileName(), "fbUtils.dll");
}

#else

TEST(FixedPaths, LiveUnderTheRootNamedAtEveryCall) {
  os::SetEnv("KORA_ROOT", "/srv/Кора/");
  EXPECT_EQ(paths::KoraRoot(), "/srv/Кора");
  EXPECT_EQ(paths::DefaultDatabase(), "/srv/Кора/DB/VELMAR.FDB");
  EXPECT_EQ(paths::FirebirdDirectory(), "/srv/Кора/FIREBIRD");
  EXPECT_EQ(paths::Gfix(), "/srv/Кора/FIREBIRD/bin/gfix");
  EXPECT_EQ(paths::Gbak(), "/srv/Кора/FIREBIRD/bin/gbak");
  EXPECT_EQ(paths::ServerLog(), "/srv/Кора/FIREBIRD/firebird.log");
  EXPECT_EQ(paths::SessionLogFile(), "/srv/Кора/LogFiles/VelmarDBRepair.log");
  EXPECT_EQ(paths::WorkDirectory(), "/srv/Кора/TEMP/DBRepair/");
  EXPECT_EQ(paths::ToolLog(), "/srv/Кора/TEMP/DBRepair/FireBirdFixLog.log");
  EXPECT_EQ(paths::SafetyCopyFolder(), "/srv/Кора/Backup/FireBirdBase");
  EXPECT_EQ(paths::SuiteLibrary(), "/srv/Кора/libfbUtils.so");
  EXPECT_EQ(paths::SuiteLibraryFileName(), "libfbUtils.so");

  os::SetEnv("KORA_ROOT", "/tmp/other");
  EXPECT_EQ(paths::Gfix(), "/tmp/other/FIREBIRD/bin/gfix");
  os::SetEnv("KORA_ROOT", "");
  EXPECT_EQ(paths::KoraRoot(), "/opt/kora");
  EXPECT_EQ(paths::ToolLog(), "/opt/kora/TEMP/DBRepair/FireBirdFixLog.log");
}

#endif

}  // namespace
