// The platform's own boxes and save dialog, answered from the keyboard on the test display by
// a second thread that plays the operator.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <string>

#include "app/MainWindow.h"
#include "app/PlatformDialogs.h"
#include "log/HuxLogger.h"
#include "os/CodePage.h"
#include "os/Files.h"
#include "progress/ProgressViewer.h"
#include "tests/app/Desktop.h"
#include "tests/app/TestSandbox.h"

namespace {

// Waits for the window titled `title`, takes its picture when asked and presses `keys` in it.
// Should the window never come, the caller stays blocked in the dialog: then Escape goes to
// whatever is active, so the test fails instead of hanging.
std::future<bool> Operator(const std::string& title, const std::string& keys,
                           const std::string& screenshot = "") {
  return std::async(std::launch::async, [=] {
    std::optional<DesktopWindow> w = WaitForWindow(title, 20000);
    if (!w) {
      RunHost("xdotool key Escape");
      return false;
    }
    if (!screenshot.empty())
      SaveScreenshot(w->id, ScreenshotFolder() + "/" + screenshot);
    return PressKeys(w->id, keys);
  });
}

std::string Shot(const std::string& name) {
  return name + "-" + PlatformName() + ".png";
}

class DialogsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitializeApplication(); }
  TestSandbox sandbox_;
  PlatformDialogs dialogs_;
};

struct KeyCase {
  DialogButtons buttons;
  DialogIcon icon;
  int defaultButton;
  const char* keys;
  DialogResult expected;
};

TEST_F(DialogsTest, BoxesAnswerWithTheFocusedButtonOrCloseAsCancel) {
  const KeyCase cases[] = {
      {DialogButtons::OkCancel, DialogIcon::Information, 0, "Return", DialogResult::Ok},
      {DialogButtons::OkCancel, DialogIcon::Information, 1, "Return", DialogResult::Cancel},
      {DialogButtons::YesNo, DialogIcon::None, 0, "Return", DialogResult::Yes},
      {DialogButtons::YesNo, DialogIcon::None, 1, "Return", DialogResult::No},
      {DialogButtons::OkCancel, DialogIcon::Information, 0, "Tab Return", DialogResult::Cancel},
      {DialogButtons::OkCancel, DialogIcon::Warning, 0, "Escape", DialogResult::Cancel},
      {DialogButtons::Ok, DialogIcon::Error, 0, "Escape", DialogResult::Ok},
      {DialogButtons::Ok, DialogIcon::Warning, 0, "Return", DialogResult::Ok},
  };
  int n = 0;
  for (const KeyCase& c : cases) {
    const std::string caption = "Вопрос " + std::to_string(++n);
    SCOPED_TRACE(caption + " keys " + c.keys);
    std::future<bool> op = Operator(caption, c.keys);
    const DialogResult answer = dialogs_.ShowMessage(caption, "Продолжить?\r\nВторая строка",
                                                     c.buttons, c.icon, c.defaultButton);
    EXPECT_TRUE(op.get()) << "the box did not appear";
    EXPECT_EQ(answer, c.expected);
    EXPECT_TRUE(WaitForNoWindow(caption, 5000));
  }
}

TEST_F(DialogsTest, MultiLineBoxesShowEveryLine) {
  // A report of the check as the operator gets it: several CR LF lines, a blank one, a path.
  const std::string text =
      "Ошибки базы данных:\r\n  Страниц с ошибками: 3\r\n\r\n"
      "База повреждена. Более подробная информация о повреждениях находится\r\n"
      "в файле \"C:\\KORA\\FIREBIRD\\firebird.log\". Повреждения могут иметь разную\r\n"
      "степень опасности. user@host & 100% <ok>";
  std::future<bool> op = Operator("Внимание! База повреждена!", "Return", Shot("box-warning"));
  EXPECT_EQ(dialogs_.ShowMessage("Внимание! База повреждена!", text, DialogButtons::Ok,
                                 DialogIcon::Warning),
            DialogResult::Ok);
  EXPECT_TRUE(op.get());
  std::future<bool> op2 = Operator("Повреждений не обнаружено!", "Return", Shot("box-question"));
  EXPECT_EQ(dialogs_.ShowMessage("Повреждений не обнаружено!",
                                 "Программа не нашла повреждений в базе данных.\r\n\r\n"
                                 "Сделать резервную копию базы данных?",
                                 DialogButtons::OkCancel, DialogIcon::Information),
            DialogResult::Ok);
  EXPECT_TRUE(op2.get());
}

TEST_F(DialogsTest, ErrorLeavingAButtonIsShownAndTheWindowGoesOn) {
  HuxLoggerUnitInitialize();
  ProgressViewerUnitInitialize();
  {
    MainWindow window(dialogs_);
    window.Show();
    window.ProcessEvents(300);
    window.SetControlText("FilenameEdit1", sandbox_.Scratch() + os::PathDelimiter() + "нет.FDB");
    std::future<bool> op = Operator(layout::kErrorCaption, "Return", Shot("error-display"));
    window.ClickButton("btnCheckDB");
    EXPECT_TRUE(op.get()) << "no error display appeared";
    window.ProcessEvents(200);
    EXPECT_TRUE(window.IsOpen());
    EXPECT_TRUE(WindowsTitled(layout::kErrorCaption).empty());
  }
  ProgressViewerUnitFinalize();
  HuxLoggerUnitFinalize();
}

TEST_F(DialogsTest, SaveDialogOffersTheFolderAndNameAndAddsTheExtension) {
  const std::string folder = sandbox_.Scratch();
  const char d = os::PathDelimiter();
  const std::string cwd = std::filesystem::current_path().string();
  SaveDialogSettings s;
  s.initialDir = folder;
  s.fileName = "VELMAR_BACKUP.FDB";
  const std::string title = layout::SaveDialog1().title;

  std::future<bool> accept = Operator(title, "Return", Shot("save-dialog"));
  EXPECT_EQ(dialogs_.ShowSaveDialog(s), std::optional<std::string>(folder + d + s.fileName));
  EXPECT_TRUE(accept.get());

  // Typed without an extension: the default one is added (Wine spells it in lower case, and
  // the Windows file system does not tell them apart).
  std::future<bool> typed = Operator(title, "ctrl+a c o p y 1 Return");
  const std::optional<std::string> typedPath = dialogs_.ShowSaveDialog(s);
  EXPECT_TRUE(typed.get());
  ASSERT_TRUE(typedPath.has_value());
  EXPECT_EQ(os::LowerCase(*typedPath), os::LowerCase(folder + d + "copy1.FDB"));

  std::future<bool> cancel = Operator(title, "Escape");
  EXPECT_EQ(dialogs_.ShowSaveDialog(s), std::nullopt);
  EXPECT_TRUE(cancel.get());

  // A folder that is gone: the dialog opens at the nearest one above it that exists.
  s.initialDir = folder + d + "нет папки" + d + "и этой";
  std::future<bool> goneFolder = Operator(title, "Return");
  EXPECT_EQ(dialogs_.ShowSaveDialog(s), std::optional<std::string>(folder + d + s.fileName));
  EXPECT_TRUE(goneFolder.get());
  EXPECT_EQ(std::filesystem::current_path().string(), cwd) << "the dialog moved the process";
}

}  // namespace
