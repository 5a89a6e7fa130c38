// The real main window on the test display: what the operator sees at start, what is kept
// between runs, what the buttons start and what the session log gets. The operator's answers
// come from a script; the window, the log and the stored settings are the program's own.
#include <gtest/gtest.h>

#include <future>
#include <sstream>
#include <string>
#include <vector>

#include "app/FormStorage.h"
#include "app/MainWindow.h"
#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/CodePage.h"
#include "os/Files.h"
#include "progress/ProgressViewer.h"
#include "server/FixedPaths.h"
#include "tests/app/Desktop.h"
#include "tests/app/TestSandbox.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

const std::string kCaption = layout::Form1().caption;

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines)
    out += l + "\n";
  return out;
}

// The window maps while its events are handled, so the waiting pumps them.
std::optional<DesktopWindow> WaitShown(MainWindow& window) {
  for (int i = 0; i < 50; ++i) {
    window.ProcessEvents(100);
    std::vector<DesktopWindow> found = WindowsTitled(kCaption);
    if (!found.empty())
      return found.front();
  }
  return std::nullopt;
}

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HuxLoggerUnitInitialize();
    ProgressViewerUnitInitialize();
    InitializeApplication();
  }
  static void TearDownTestSuite() {
    ProgressViewerUnitFinalize();
    HuxLoggerUnitFinalize();
  }

  TestSandbox sandbox_;
  ScriptedDialogs dialogs_;
};

TEST_F(MainWindowTest, FirstRunShowsTheSuitesDefaultDatabase) {
  MainWindow window(dialogs_);
  window.Show();
  const char d = os::PathDelimiter();
  EXPECT_EQ(window.ControlText("FilenameEdit1"), paths::KoraRoot() + d + "DB" + d + "VELMAR.FDB");
  EXPECT_EQ(window.ControlText("FilenameEdit1"), paths::DefaultDatabase());
  EXPECT_TRUE(WaitShown(window).has_value()) << "the window is not on the display";
}

TEST_F(MainWindowTest, StoredNameComesBackUnchangedAndTheTypedOneIsKept) {
  const char d = os::PathDelimiter();
  const std::string gone = sandbox_.Scratch() + d + "Удалённая база" + d + "OLD.fdb";
  ASSERT_FALSE(os::FileExists(gone));
  ASSERT_TRUE(form_storage::StoreFileName(gone));
  {
    MainWindow window(dialogs_);
    window.Show();
    window.ProcessEvents(200);
    EXPECT_EQ(window.ControlText("FilenameEdit1"), gone);
    // Not a valid path at all: kept as typed all the same.
    window.SetControlText("FilenameEdit1", "  набрано вручную.fdb ");
    window.RequestClose();
    window.ProcessEvents(200);
    EXPECT_FALSE(window.IsOpen());
  }
  EXPECT_EQ(form_storage::LoadFileName(), std::optional<std::string>("  набрано вручную.fdb "));
  MainWindow again(dialogs_);
  again.Show();
  EXPECT_EQ(again.ControlText("FilenameEdit1"), "  набрано вручную.fdb ");
}

TEST_F(MainWindowTest, StartsOnTheFirstTabWithTheCheckButtonFocused) {
  {
    MainWindow window(dialogs_);
    window.Show();
    window.SelectPage(1);
    window.ProcessEvents(200);
    ASSERT_EQ(window.ActivePage(), 1);
    window.RequestClose();
    window.ProcessEvents(200);
  }
  MainWindow window(dialogs_);
  window.Show();
  std::optional<DesktopWindow> shown = WaitShown(window);
  ASSERT_TRUE(shown.has_value());
  window.ProcessEvents(300);
  EXPECT_EQ(window.ActivePage(), 0);
  EXPECT_EQ(window.FocusedControl(), "btnCheckDB");
}

TEST_F(MainWindowTest, LogGetsABlankLineAndTheStartAndExitRecords) {
  {
    MainWindow window(dialogs_);
    EXPECT_NE(SessionLogOrNull(), nullptr) << "the session log is not published";
    window.Show();
    window.ProcessEvents(100);
    window.RequestClose();
    window.ProcessEvents(100);
  }
  EXPECT_EQ(SessionLogOrNull(), nullptr) << "the freed log is still published";
  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 3u) << Joined(lines);
  EXPECT_EQ(lines[0], "");
  EXPECT_TRUE(EndsWith(lines[1], " Программа запущена")) << lines[1];
  EXPECT_TRUE(EndsWith(lines[2], " Выход из программы")) << lines[2];
}

TEST_F(MainWindowTest, ComponentsSitWhereTheLayoutPutsThemAndNoTextIsClipped) {
  MainWindow window(dialogs_);
  window.Show();
  window.ProcessEvents(300);
  std::optional<DesktopWindow> shown = WaitShown(window);
  ASSERT_TRUE(shown.has_value());
  const HostResult geometry = RunHost("xwininfo -id " + shown->id);
  EXPECT_NE(geometry.output.find("Width: 603\n"), std::string::npos) << geometry.output;
  EXPECT_NE(geometry.output.find("Height: 391\n"), std::string::npos) << geometry.output;

  for (const layout::ControlSpec& c : layout::Components()) {
    SCOPED_TRACE(c.name);
    switch (c.kind) {
      case layout::ControlKind::Label:
      case layout::ControlKind::Button:
      case layout::ControlKind::FilenameEdit:
      case layout::ControlKind::PageControl: {
        layout::Rect origin{};
        const std::string_view parent = c.parent;
        if (parent == "TabSheet1" || parent == "TabSheet2") {
          origin = window.ControlBounds(parent);
        } else if (!parent.empty()) {
          origin = layout::Component(parent).bounds;
        }
        const layout::Rect r = window.ControlBounds(c.name);
        EXPECT_EQ(r.left - origin.left, c.bounds.left);
        EXPECT_EQ(r.top - origin.top, c.bounds.top);
        EXPECT_EQ(r.width, c.bounds.width);
        if (c.wordWrap) {
          // Grown where the platform's font needs another line, never into its neighbours.
          EXPECT_GE(r.height, c.bounds.height);
        } else {
          EXPECT_EQ(r.height, c.bounds.height);
        }
        break;
      }
      case layout::ControlKind::TabSheet: {
        // The sheet lies inside the page control, below its tab strip.
        const layout::Rect sheet = window.ControlBounds(c.name);
        const layout::Rect& pc = layout::Component("PageControl1").bounds;
        EXPECT_GE(sheet.left, pc.left);
        EXPECT_GE(sheet.top, pc.top + 16);
        EXPECT_LE(sheet.Right(), pc.Right());
        EXPECT_LE(sheet.Bottom(), pc.Bottom());
        break;
      }
      default:
        break;
    }
    if (c.kind == layout::ControlKind::Label || c.kind == layout::ControlKind::Button ||
        c.kind == layout::ControlKind::TabSheet) {
      EXPECT_EQ(window.ControlText(c.name), c.text);
    }
    if (c.kind == layout::ControlKind::Label || c.kind == layout::ControlKind::Button) {
      EXPECT_LE(window.TextOverflow(c.name), 0) << "clipped: " << c.text;
    }
  }
  // Children of the tab sheets stay inside them and off each other.
  for (const char* sheet : {"TabSheet1", "TabSheet2"}) {
    const layout::Rect area = window.ControlBounds(sheet);
    const std::vector<const layout::ControlSpec*> children = layout::ChildrenOf(sheet);
    for (const layout::ControlSpec* child : children) {
      const layout::Rect r = window.ControlBounds(child->name);
      EXPECT_LE(r.Right(), area.Right()) << child->name;
      EXPECT_LE(r.Bottom(), area.Bottom()) << child->name;
      for (const layout::ControlSpec* other : children) {
        if (other == child)
          continue;
        const layout::Rect o = window.ControlBounds(other->name);
        const bool apart = r.Right() <= o.left || o.Right() <= r.left || r.Bottom() <= o.top ||
                           o.Bottom() <= r.top;
        EXPECT_TRUE(apart) << child->name << " covers " << other->name;
      }
    }
  }
}

TEST_F(MainWindowTest, ScreenshotsOfBothTabs) {
  MainWindow window(dialogs_);
  window.Show();
  std::optional<DesktopWindow> shown = WaitShown(window);
  ASSERT_TRUE(shown.has_value());
  const std::string folder = ScreenshotFolder();
  ASSERT_FALSE(folder.empty());
  for (int page : {0, 1}) {
    window.SelectPage(page);
    window.ProcessEvents(400);
    const std::string file =
        folder + "/main-tab" + std::to_string(page + 1) + "-" + PlatformName() + ".png";
    ASSERT_TRUE(SaveScreenshot(shown->id, file)) << file;
    EXPECT_GT(ReadFileText(LocalPath(file)).size(), 2000u) << file;
  }
}

TEST_F(MainWindowTest, ButtonsRunTheWorkflowsOnTheFileNameAsItStandsAtTheClick) {
  const char d = os::PathDelimiter();
  const std::string first = sandbox_.Scratch() + d + "нет такой.FDB";
  const std::string second = sandbox_.Scratch() + d + "и такой нет.FDB";
  MainWindow window(dialogs_);
  window.Show();
  window.ProcessEvents(100);

  // The check rejects a missing file before it writes anything; the error leaves the handler
  // for the standard error display and the window stays.
  dialogs_.Error("Указанная база данных не найдена на этом компьютере!");
  window.SetControlText("FilenameEdit1", first);
  window.ClickButton("btnCheckDB");
  EXPECT_TRUE(window.IsOpen());
  EXPECT_EQ(dialogs_.PendingSteps(), 0u);

  dialogs_.Error();
  window.SetControlText("FilenameEdit1", second);
  window.ClickButton("btnRepairDB");
  EXPECT_TRUE(window.IsOpen());
  ASSERT_EQ(dialogs_.Errors().size(), 2u) << dialogs_.Transcript();
  const std::string repairError = dialogs_.Errors()[1];
  EXPECT_FALSE(repairError.empty());

  const std::string log = Joined(LogLines());
  EXPECT_EQ(log.find("Начало проверки базы данных"), std::string::npos) << log;
  EXPECT_NE(log.find("Начало ремонта базы данных: " + second), std::string::npos) << log;
  EXPECT_NE(log.find("Ошибка функции ремонта базы данных: " + repairError), std::string::npos)
      << log;
  // The window still takes clicks after an error.
  dialogs_.Error("Указанная база данных не найдена на этом компьютере!");
  window.ClickButton("btnCheckDB");
  EXPECT_EQ(dialogs_.Errors().size(), 3u);
}

TEST_F(MainWindowTest, TheBrowseButtonPutsThePickedFileIntoTheField) {
  const std::string picked = sandbox_.Scratch() + os::PathDelimiter() + "picked.FDB";
  WriteFileText(picked, "not a database, only a name to pick");
  MainWindow window(dialogs_);
  window.Show();
  ASSERT_TRUE(WaitShown(window).has_value());
  const std::vector<DesktopWindow> before = TitledWindows();
  std::future<bool> operatorPicks = std::async(std::launch::async, [&] {
    std::optional<DesktopWindow> chooser = WaitForNewWindow(before, 20000);
    if (!chooser) {
      RunHost("xdotool key Escape");
      return false;
    }
    SaveScreenshot(chooser->id, ScreenshotFolder() + "/open-dialog-" + PlatformName() + ".png");
    return TypeText(chooser->id, picked) && PressKeys(chooser->id, "Return");
  });
  window.ClickButton("FilenameEdit1.Browse");
  EXPECT_TRUE(operatorPicks.get()) << "no file dialog appeared";
  EXPECT_EQ(window.ControlText("FilenameEdit1"), picked);
}

TEST_F(MainWindowTest, TheFocusedButtonAnswersTheKeyboard) {
  MainWindow window(dialogs_);
  window.SetControlText("FilenameEdit1", sandbox_.Scratch() + os::PathDelimiter() + "нет.FDB");
  window.Show();
  std::optional<DesktopWindow> shown = WaitShown(window);
  ASSERT_TRUE(shown.has_value());
  ASSERT_EQ(window.FocusedControl(), "btnCheckDB");
  int expected = 0;
  for (const char* key : {"Return", "space"}) {
    SCOPED_TRACE(key);
    dialogs_.Error("Указанная база данных не найдена на этом компьютере!");
    ++expected;
    std::future<bool> pressed =
        std::async(std::launch::async, [&] { return PressKeys(shown->id, key); });
    for (int i = 0; i < 100 && int(dialogs_.Errors().size()) < expected; ++i) {
      window.ProcessEvents(50);
    }
    EXPECT_TRUE(pressed.get());
    EXPECT_EQ(int(dialogs_.Errors().size()), expected) << "the key did not press the button";
  }
  // Escape does not close the main window.
  std::future<bool> escape =
      std::async(std::launch::async, [&] { return PressKeys(shown->id, "Escape"); });
  for (int i = 0; i < 10; ++i)
    window.ProcessEvents(50);
  EXPECT_TRUE(escape.get());
  window.ProcessEvents(300);
  EXPECT_TRUE(window.IsOpen());
}

}  // namespace
