// Without the database server's client library the program still starts; asking for the
// backup service then fails with a message that names the missing library.
#include <gtest/gtest.h>

#include "os/Files.h"
#include "server/FbService.h"
#include "server/FbServiceClientLibrary.h"
#include "server/FixedPaths.h"

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
  ASSERT_EQ(candidates.size(), 3u);
  EXPECT_EQ(candidates[0], paths::FirebirdDirectory() + "\\fbclient.dll");
  EXPECT_EQ(candidates[1], paths::FirebirdDirectory() + "\\bin\\fbclient.dll");
  EXPECT_EQ(candidates[2], "fbclient.dll");
}

}  // namespace
