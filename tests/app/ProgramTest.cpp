// The program itself, started as the operator starts it: what two runs leave in the session
// log, and the refusal to start without the suite's library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/FormStorage.h"
#include "app/MainFormLayout.h"
#include "os/CodePage.h"
#include "os/Files.h"
#include "server/FixedPaths.h"
#include "tests/app/Desktop.h"
#include "tests/app/TestSandbox.h"

namespace {

const std::string kCaption = layout::Form1().caption;

std::string BinDirectory() {
  const char* bin = std::getenv("VELMAR_BIN_DIR");
  return bin ? bin : "";
}

std::string ProgramPath() {
  const std::string exe = PlatformName() == std::string("windows") ? ".exe" : "";
  return LocalPath(BinDirectory() + "/VelmarDBRepair" + exe);
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(BinDirectory().empty()) << "VELMAR_BIN_DIR is not set";
    ASSERT_TRUE(os::FileExists(ProgramPath())) << ProgramPath();
    // The suite's library as the program finds it; the Windows prefix may hold one already.
    library_ = paths::SuiteLibrary();
    std::error_code ignored;
    if (std::filesystem::exists(library_)) {
      std::filesystem::copy_file(library_, sandbox_.Scratch() + "/saved-library",
                                 std::filesystem::copy_options::overwrite_existing, ignored);
      hadLibrary_ = true;
    }
  }
  void TearDown() override {
    std::error_code ignored;
    if (hadLibrary_) {
      std::filesystem::copy_file(sandbox_.Scratch() + "/saved-library", library_,
                                 std::filesystem::copy_options::overwrite_existing, ignored);
    } else {
      std::filesystem::remove(library_, ignored);
    }
  }

  void InstallLibrary() {
    os::ForceDirectories(os::ExtractFileDir(library_));
    const std::string built = LocalPath(BinDirectory() + "/" + paths::SuiteLibraryFileName());
    ASSERT_TRUE(os::FileExists(built)) << built;
    std::filesystem::copy_file(built, library_, std::filesystem::copy_options::overwrite_existing);
  }

  void RemoveLibrary() {
    std::error_code ignored;
    std::filesystem::remove(library_, ignored);
    ASSERT_FALSE(os::FileExists(library_));
  }

  TestSandbox sandbox_;
  std::string library_;
  bool hadLibrary_ = false;
};

TEST_F(ProgramTest, TwoRunsEachLeaveABlankLineAndTheirStartAndExitRecords) {
  InstallLibrary();
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    std::unique_ptr<HostProgram> program = HostProgram::Start(ProgramPath(), {});
    ASSERT_NE(program, nullptr);
    std::optional<DesktopWindow> window = WaitForWindow(kCaption, 60000);
    ASSERT_TRUE(window.has_value()) << "the main window did not open";
    if (run == 1)
      SaveScreenshot(window->id, ScreenshotFolder() + "/program-" + PlatformName() + ".png");
    ASSERT_TRUE(PressKeys(window->id, "alt+F4"));
    EXPECT_EQ(program->Wait(30000), std::optional<int>(0));
    EXPECT_TRUE(WaitForNoWindow(kCaption, 10000));
    // Closing stored the file name, which was the default one.
    EXPECT_EQ(form_storage::LoadFileName(), std::optional<std::string>(paths::DefaultDatabase()));
  }
  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 6u) << ReadFileText(paths::SessionLogFile());
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(lines[3 * run], "");
    EXPECT_TRUE(EndsWith(lines[3 * run + 1], " Программа запущена")) << lines[3 * run + 1];
    EXPECT_TRUE(EndsWith(lines[3 * run + 2], " Выход из программы")) << lines[3 * run + 2];
  }
}

TEST_F(ProgramTest, WithoutTheSuiteLibraryOnlyTheRefusalIsShown) {
  RemoveLibrary();
  std::unique_ptr<HostProgram> program = HostProgram::Start(ProgramPath(), {});
  ASSERT_NE(program, nullptr);
  std::optional<DesktopWindow> box = WaitForWindow("Ошибка!", 60000);
  ASSERT_TRUE(box.has_value()) << "no refusal box";
  SaveScreenshot(box->id, ScreenshotFolder() + "/refusal-" + PlatformName() + ".png");
  if (std::optional<std::string> text = MessageBoxText("Ошибка!")) {
    EXPECT_EQ(*text, "Модуль " + paths::SuiteLibraryFileName() +
                         " не загружен. В запуске приложения отказано!");
  }
  EXPECT_TRUE(WindowsTitled(kCaption).empty()) << "the main window opened";
  ASSERT_TRUE(PressKeys(box->id, "Return"));
  EXPECT_EQ(program->Wait(30000), std::optional<int>(0));
  EXPECT_TRUE(WindowsTitled(kCaption).empty()) << "the main window opened";
  EXPECT_FALSE(os::FileExists(paths::SessionLogFile())) << "the log was written";
  EXPECT_EQ(form_storage::LoadFileName(), std::nullopt);
}

}  // namespace
