// The suite's own server installation is asked for its client library before the system's:
// its client matches its server. A stand-in without the client's entry, put where the suite
// keeps its client, must be the one the error names, although the system's library would load.
#include <gtest/gtest.h>

#include "os/Files.h"
#include "server/FbService.h"
#include "server/FbServiceClientLibrary.h"
#include "server/FixedPaths.h"
#include "tests/support/KoraSandbox.h"

namespace {

TEST(ClientLibraryOrder, TheSuitesOwnClientIsTriedBeforeTheSystems) {
  testsupport::KoraSandbox sandbox;
  const std::string suiteClient = fbclient::LibraryCandidates().front();
  ASSERT_EQ(suiteClient.rfind(paths::FirebirdDirectory(), 0), 0u) << suiteClient;
  sandbox.InstallProgram(os::ProgramDirectory() + testsupport::BuiltSuiteLibrary(), suiteClient);
  try {
    fbclient::Master();
    FAIL() << "the system's client library was loaded before the suite's";
  } catch (const EFirebirdError& e) {
    EXPECT_NE(e.Message().find("\"" + suiteClient + "\" устарела"), std::string::npos)
        << e.Message();
  }
}

}  // namespace
