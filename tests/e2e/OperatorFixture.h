// The operator at the test display, the fixture of both runners. The scenarios both platforms
// play are in OperatorTest.cpp, written once; where the suite lives, how the program starts
// and the scenarios only one platform can play are in LinuxOperatorTest.cpp and
// WindowsOperatorTest.cpp.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/OperatorSession.h"
#include "tests/e2e/SessionRecords.h"
#include "tests/support/DamageKit.h"
#include "tests/support/FbTestServer.h"
#include "tests/support/OperatorScenarios.h"

namespace e2e {

// A damaged database the operator checks, repairs and checks again.
struct DamagedDesk {
  const char* name;
  testsupport::DamageKind damage;
  // Words the check's damage record must hold ("" where none are pinned).
  std::string damageWords;
  // The tables' figures where rows are counted (any figures when empty); where they show no
  // loss, no row report box follows the success box.
  std::vector<std::string> figures;
  std::vector<scenarios::Platform> platforms;
};

class Operator : public ::testing::TestWithParam<DamagedDesk> {
 public:
  // The platform's part.
  static scenarios::Platform ThisPlatform();
  // The server's client library: without it (Wine) the check's trial backup fails and the
  // repair counts no rows.
  static bool HasClientLibrary() { return ThisPlatform() == scenarios::Platform::Linux; }

 protected:
  void SetUp() override;
  void TearDown() override;
  // An empty suite folder, nothing remembered from an earlier test.
  void PrepareDesk();
  void LeaveDesk();
  // The suite as the program finds it against the private server: the library with the
  // server's password and port, the server's own gfix and gbak at the suite's paths.
  void InstallSuite();
  // A path inside the suite's folder, `relative` written with '/'.
  std::string InSuite(const std::string& relative) const;
  std::string ProgramPath() const;
  std::vector<std::string> ProgramEnvironment() const;
  // In the save dialog: the safety copy's place chosen as the platform's runner does it; the
  // copy's path.
  std::string ChooseSafetyCopy();

  // The test's own name, fit for a file name.
  static std::string TestName();
  std::string Database() const { return InSuite("DB/VELMAR.FDB"); }
  std::string SessionLog() const { return InSuite("LogFiles/VelmarDBRepair.log"); }
  // The test database at the default path, damaged as `damage` says.
  void MakeDatabase(int rows, bool blobs,
                    std::optional<testsupport::DamageKind> damage = std::nullopt);
  std::vector<SessionRecord> RunRecords() const { return LastRun(AllRecords()); }
  std::vector<SessionRecord> AllRecords() const;
  std::unique_ptr<OperatorSession> NewSession(const std::string& suffix = "") const;
  void StartProgram();
  // Waits for the next box, checks its caption and answers it with `keys`; the box's text
  // where the platform lets it be read.
  std::optional<std::string> ExpectBox(const std::string& caption, const std::string& keys);
  // Answers the next box with Return; where its text can be read, it is `text`.
  void ExpectBoxSaying(const std::string& caption, const std::string& text);
  // The program writes its next records a moment after a box has gone (it first repaints the
  // part of the main window the box covered): waits until the log has stopped growing.
  void WaitForQuietLog();
  // In the save dialog: the path typed over the offered name, then Save.
  void SaveSafetyCopyAs(const std::string& path, std::string* dialogId = nullptr);
  void CloseProgram();

  testsupport::FbTestServer server_;
  std::string scratch_;  // Linux: the test's own folder, the suite's inside it
  std::unique_ptr<OperatorSession> session_;
};

}  // namespace e2e
