// Without the database server's client library the program still starts; asking for the
// backup service then fails with a message that names the missing library.
#include <gtest/gtest.h>

#include "os/Files.h"
#include "server/FbService.h"
#include "server/FbServiceClientLibrary.h"
#include "server/FixedPaths.h"
#include "tests/support/KoraSandbox.h"

namespace {

TEST(FbServiceWithoutClientLibrary, AttachReportsTheMissingLibrary) {
  for (const std::string& candidate : fbclient::LibraryCandidates()) {
    if (os::HasDirectoryPart(candidate)) {
      ASSERT_FALSE(os::FileExists(candidate)) << candidate << " must not exist for this test";
    }
  }
  FbServiceConnection service;
  try {
    service.Attach("127.0.0.1", 3050, "SYSDBA", "masterkey");
    FAIL() << "attached without a client library";
  } catch (const EFirebirdError& e) {
    EXPECT_NE(e.Message().find("Не удалось загрузить клиентскую библиотеку"), std::string::npos)
        << e.Message();
    EXPECT_NE(e.Message().find("fbclient.dll"), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find(paths::FirebirdDirectory()), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(service.Attached());
  // The failure is not remembered: a second attempt looks again and fails the same way.
  EXPECT_THROW(service.Attach("127.0.0.1", 3050, "SYSDBA", "masterkey"), EFirebirdError);
}

TEST(FbServiceWithoutClientLibrary, SuiteInstallationIsSearchedFirst) {
  auto candidates = fbclient::LibraryCandidates();
  ASSERT_EQ(candidates.size(), 4u);
  EXPECT_EQ(candidates[0], paths::FirebirdDirectory() + "\\fbclient.dll");
  EXPECT_EQ(candidates[1], paths::FirebirdDirectory() + "\\bin\\fbclient.dll");
  EXPECT_EQ(candidates[2], paths::FirebirdDirectory() + "\\WOW64\\fbclient.dll");
  EXPECT_EQ(candidates[3], "fbclient.dll");
}

// A 64-bit server keeps a client of its own bitness in its folder and the 32-bit one in WOW64:
// the one that does not load is passed over. Here two stand-ins play the two clients, and the
// one of the program's bitness, lacking the client's entry, names itself in the error.
TEST(FbServiceWithoutClientLibrary, PassesOverAClientOfTheOtherBitness) {
  testsupport::KoraSandbox sandbox;
  const std::string firebird = paths::FirebirdDirectory();
  sandbox.InstallProgram(os::ProgramDirectory() + "other-bitness\\fbUtils.dll",
                         firebird + "\\fbclient.dll");
  sandbox.InstallProgram(os::ProgramDirectory() + "fbUtils.dll",
                         firebird + "\\WOW64\\fbclient.dll");
  try {
    fbclient::Master();
    FAIL() << "a stand-in passed for the client library";
  } catch (const EFirebirdError& e) {
    EXPECT_NE(e.Message().find("\"" + firebird + "\\WOW64\\fbclient.dll\" устарела"),
              std::string::npos)
        << e.Message();
  }
}

}  // namespace
