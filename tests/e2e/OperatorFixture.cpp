#include "tests/e2e/OperatorFixture.h"

#include <algorithm>

#include "os/Files.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/TestFiles.h"

namespace e2e {

void Operator::SetUp() {
  auto server = testsupport::FbTestServer::FromEnvironment();
  ASSERT_TRUE(server) << "the private Firebird server is not running ($VELMAR_FB_DIR)";
  server_ = *server;
  PrepareDesk();
  session_ = NewSession();
}

void Operator::TearDown() {
  session_.reset();
  // The session log beside the pictures, for whoever reads them.
  if (os::FileExists(SessionLog())) {
    testsupport::PutFile(
        LocalPath(ArtifactFolder() + "/" + PlatformName() + "-" + TestName() + "-session.log"),
        os::ReadWholeFile(SessionLog()));
  }
  LeaveDesk();
}

std::string Operator::TestName() {
  std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::ranges::replace(name, '/', '-');
  return name;
}

void Operator::MakeDatabase(int rows, bool blobs, std::optional<testsupport::DamageKind> damage) {
  testsupport::CreateTestDatabase(server_, Database(), rows, blobs);
  if (damage)
    testsupport::Damage(server_, Database(), *damage);
}

std::vector<SessionRecord> Operator::AllRecords() const {
  return ReadSessionRecords(SessionLog());
}

std::unique_ptr<OperatorSession> Operator::NewSession(const std::string& suffix) const {
  return std::make_unique<OperatorSession>(TestName() + suffix, ProgramEnvironment());
}

void Operator::StartProgram() {
  ASSERT_TRUE(session_->Start(ProgramPath())) << "the main window did not open";
}

std::optional<std::string> Operator::ExpectBox(const std::string& caption,
                                               const std::string& keys) {
  std::optional<ScreenWindow> box = session_->NextBox();
  if (!box) {
    ADD_FAILURE() << "no box came; expected \"" << caption << "\"\n" << Dump(AllRecords());
    return std::nullopt;
  }
  EXPECT_EQ(box->title, caption) << Dump(AllRecords());
  std::optional<std::string> text = MessageBoxText(box->title);
  if (!text && ThisPlatform() == scenarios::Platform::Windows)
    ADD_FAILURE() << "the text of the box \"" << caption << "\" could not be read";
  EXPECT_TRUE(session_->Answer(*box, keys)) << "the box \"" << caption << "\" stayed";
  WaitForQuietLog();
  return text;
}

void Operator::ExpectBoxSaying(const std::string& caption, const std::string& text) {
  if (const std::optional<std::string> shown = ExpectBox(caption, "Return")) {
    EXPECT_EQ(*shown, text);
  }
}

void Operator::WaitForQuietLog() {
  std::optional<std::int64_t> last;
  int quietPolls = 0;
  PollUntil(10000, [&] {
    const std::optional<std::int64_t> size = os::FileSize(SessionLog());
    quietPolls = size == last ? quietPolls + 1 : 0;
    last = size;
    return quietPolls >= 4;
  });
}

void Operator::SaveSafetyCopyAs(const std::string& path, std::string* dialogId) {
  std::optional<ScreenWindow> dialog = session_->NextBox();
  ASSERT_TRUE(dialog) << "no save dialog\n" << Dump(AllRecords());
  ASSERT_EQ(dialog->title, kSaveDialogTitle);
  if (dialogId)
    *dialogId = dialog->id;
  if (!path.empty()) {
    ASSERT_TRUE(PressKeys(dialog->id, "ctrl+a"));
    ASSERT_TRUE(TypeText(dialog->id, path));
  }
  ASSERT_TRUE(PressKeys(dialog->id, "Return"));
}

void Operator::CloseProgram() {
  EXPECT_EQ(session_->Close(), std::optional<int>(0));
  const std::vector<SessionRecord> records = AllRecords();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().text, "Выход из программы") << Dump(records);
}

}  // namespace e2e
