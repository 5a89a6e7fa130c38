// The progress window on a real X display (natively, and under Wine for the Windows build):
// found from outside, driven with xdotool as an operator would, measured and photographed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "tests/progress/HostDisplay.h"
#include "tests/progress/ViewerTestSupport.h"

namespace {

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// Where the window stands on the screen, as X reports it.
bool HostGeometry(unsigned long window, Geometry& g) {
  HostResult r = RunHost("xwininfo -id " + std::to_string(window));
  if (r.exitCode != 0) {
    return false;
  }
  auto value = [&](const char* key) {
    std::size_t at = r.output.find(key);
    return at == std::string::npos ? -99999 : std::atoi(r.output.c_str() + at + std::strlen(key));
  };
  g.x = value("Absolute upper-left X:");
  g.y = value("Absolute upper-left Y:");
  g.width = value("Width:");
  g.height = value("Height:");
  return true;
}

bool Viewable(unsigned long window) {
  HostResult r = RunHost("xwininfo -id " + std::to_string(window));
  return r.exitCode == 0 && r.output.find("IsViewable") != std::string::npos;
}

// x, y, right, bottom of the work area the window manager announces.
Geometry HostWorkArea() {
  HostResult r = RunHost("xprop -root _NET_WORKAREA");
  Geometry area{0, 0, 1024, 768};
  std::size_t at = r.output.find('=');
  if (at != std::string::npos) {
    std::sscanf(r.output.c_str() + at + 1, " %d, %d, %d, %d", &area.x, &area.y, &area.width,
                &area.height);
  }
  return area;
}

// Activates the window, waits until it has the keyboard focus and types `keys` there.
void PressKeyOn(const TProgressViewer& viewer, const std::string& keys) {
  HostResult r = RunHost("xdotool windowactivate --sync " + std::to_string(XWindowOf(viewer)));
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(WaitFor([&] { return HasKeyboardFocus(viewer); }, 3000)) << "window not focused";
  r = RunHost("xdotool key " + keys);
  EXPECT_EQ(r.exitCode, 0) << r.output;
}

class ViewerWindowTest : public ViewerTest {
 protected:
  // A viewer whose window is shown and laid out.
  TProgressViewer* Show(const std::string& caption, bool canCancel) {
    auto* viewer = new TProgressViewer(caption, false, canCancel);
    viewers_.push_back(viewer);
    bool shown = WaitFor([&] { return XWindowOf(*viewer) != 0 && viewer->GetHeight() > 70; }, 5000);
    EXPECT_TRUE(shown) << "no window appeared";
    unsigned long window = XWindowOf(*viewer);
    EXPECT_TRUE(WaitFor([&] { return Viewable(window); }, 5000)) << "window not mapped";
    return viewer;
  }
  void TearDown() override {
    for (TProgressViewer* viewer : viewers_) {
      viewer->Terminate();
    }
    ViewerTest::TearDown();
  }
  std::vector<TProgressViewer*> viewers_;
};

}  // namespace

TEST_F(ViewerWindowTest, SizeAndPlaceFollowTheTextBlockAndTheWorkArea) {
  TProgressViewer* viewer = Show("Выполняется проверка базы данных...", true);
  unsigned long window = XWindowOf(*viewer);
  int textHeight = 0;
  for (const TStringInfo& line : viewer->StringsSnapshot()) {
    EXPECT_GT(line.Height, 0) << "line " << line.Number;
    textHeight += line.Height;
  }
  EXPECT_EQ(viewer->GetWidth(), 450);
  EXPECT_EQ(viewer->GetHeight(), textHeight + 70);

  Geometry area = HostWorkArea();
  Geometry expected{(area.width - 450) / 2, area.y + area.height - viewer->GetHeight() - 100, 450,
                    viewer->GetHeight()};
  Geometry seen;
  // The window manager applies the move a moment after the resize.
  bool placed = WaitFor(
      [&] {
        return HostGeometry(window, seen) && seen.x == expected.x && seen.y == expected.y &&
               seen.width == expected.width && seen.height == expected.height;
      },
      3000);
  EXPECT_TRUE(placed) << "seen " << seen.x << "," << seen.y << " " << seen.width << "x"
                      << seen.height << "; expected " << expected.x << "," << expected.y << " "
                      << expected.width << "x" << expected.height;
  EXPECT_EQ(viewer->GetLeft(), expected.x);
  EXPECT_EQ(viewer->GetTop(), expected.y);
}

TEST_F(ViewerWindowTest, EscapeCancelsWithAndWithoutTheButton) {
  for (bool canCancel : {true, false}) {
    TProgressViewer* viewer = Show("Отмена по Esc", canCancel);
    EXPECT_FALSE(viewer->Cancelled());
    PressKeyOn(*viewer, "Escape");
    EXPECT_TRUE(WaitFor([&] { return viewer->Cancelled(); }, 1000))
        << "Esc did not cancel, canCancel=" << canCancel;
    EXPECT_THROW(viewer->CheckCancel(), EProgressCancelByUser);
    // A cancel does not end the window: only the caller does.
    EXPECT_TRUE(Viewable(XWindowOf(*viewer)));
  }
}

TEST_F(ViewerWindowTest, NewWindowTakesTheKeyboardFocusSoEscNeedsNoClick) {
  if (!NewWindowsGetHostFocus()) {
    GTEST_SKIP() << "the host's window manager decides the focus of new windows here";
  }
  TProgressViewer* viewer = Show("Esc сразу", true);
  EXPECT_TRUE(WaitFor([&] { return HasKeyboardFocus(*viewer); }, 3000));
  HostResult r = RunHost("xdotool key Escape");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(WaitFor([&] { return viewer->Cancelled(); }, 1000));
}

TEST_F(ViewerWindowTest, ButtonIsShownOnlyWhenTheViewerMayCancel) {
  TProgressViewer* withButton = Show("С кнопкой", true);
  EXPECT_NE(withButton->GetButtonHandle(), 0u);
  EXPECT_TRUE(ButtonShown(*withButton));
  // A click on the button's middle cancels.
  unsigned long window = XWindowOf(*withButton);
  int x = withButton->GetWidth() - 120 + 50, y = withButton->GetHeight() - 30 + 12;
  HostResult r = RunHost("xdotool windowactivate --sync " + std::to_string(window) +
                         " mousemove --window " + std::to_string(window) + " " + std::to_string(x) +
                         " " + std::to_string(y) + " click 1");
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(WaitFor([&] { return withButton->Cancelled(); }, 1000)) << "click did not cancel";
  withButton->Terminate();
  viewers_.clear();

  TProgressViewer* without = Show("Без кнопки", false);
  EXPECT_FALSE(ButtonShown(*without));
}

TEST_F(ViewerWindowTest, CloseRequestsLeaveTheWindowOpen) {
  TProgressViewer* viewer = Show("Закрыть нельзя", true);
  unsigned long window = XWindowOf(*viewer);
  // Alt+F4 makes the window manager ask the window to close.
  PressKeyOn(*viewer, "alt+F4");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(Viewable(window));
  EXPECT_EQ(viewer->GetHandle() != 0, true);
  EXPECT_FALSE(viewer->Cancelled());
}

TEST_F(ViewerWindowTest, WrappedLongLineGrowsTheWindowAndUnwrappedOneDoesNot) {
  TProgressViewer* viewer = Show("Перенос строк", true);
  const int before = viewer->GetHeight();
  const std::string longText =
      "gbak: ЗАПИСЬ ДАННЫХ ТАБЛИЦЫ ДОКУМЕНТЫ_ПРОДАЖ_ЗА_ГОД, обработано записей: 123456, "
      "ожидается ещё несколько минут работы";
  viewer->SetString(11, "коротко", taLeft, false, 0x008000, fsBold, 12, "");
  viewer->SetString(12, longText, taLeft, false, 0x008000, fsBold, 12, "");
  ASSERT_TRUE(WaitFor([&] { return viewer->GetHeight() > before; }, 3000));
  auto heightOf = [&](std::int32_t number) {
    for (const TStringInfo& line : viewer->StringsSnapshot()) {
      if (line.Number == number) {
        return line.Height;
      }
    }
    return -1;
  };
  const int oneLine = heightOf(11);
  EXPECT_GT(oneLine, 0);
  EXPECT_EQ(heightOf(12), oneLine) << "an unwrapped line stays one line";
  const int unwrappedHeight = viewer->GetHeight();
  EXPECT_EQ(unwrappedHeight, before + 2 * oneLine);

  viewer->ChangeStringParams(12, {spWordWrap}, {true});
  ASSERT_TRUE(WaitFor([&] { return viewer->GetHeight() > unwrappedHeight; }, 3000));
  EXPECT_GE(heightOf(12), 2 * oneLine);
  EXPECT_EQ(viewer->GetHeight(), before + oneLine + heightOf(12));
  Geometry seen;
  unsigned long window = XWindowOf(*viewer);
  EXPECT_TRUE(WaitFor(
      [&] { return HostGeometry(window, seen) && seen.height == viewer->GetHeight(); }, 3000))
      << "window height " << seen.height << ", viewer " << viewer->GetHeight();
  Geometry area = HostWorkArea();
  EXPECT_EQ(viewer->GetTop(), area.y + area.height - viewer->GetHeight() - 100);
}

TEST_F(ViewerWindowTest, ScreenshotShowsTheWindowWithItsMovingBlock) {
  TProgressViewer* viewer = Show("Создание резервной копии", true);
  viewer->SetString(10, "gbak: записано 1234 записей в таблицу ДОКУМЕНТЫ", taLeft, true, 0x008000,
                    fsBold, 12, "");
  auto statusLaidOut = [&] {
    for (const TStringInfo& line : viewer->StringsSnapshot()) {
      if (line.Number == 10) {
        return line.Height > 0;
      }
    }
    return false;
  };
  ASSERT_TRUE(WaitFor(statusLaidOut, 3000));
  // A second of frames: the elapsed time reads 0:00:01 and the block has moved on.
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  const std::string shot = HostScreenshotPath(SCREENSHOT_NAME);
  HostResult r = RunHost("import -window root '" + shot + "'");
  ASSERT_EQ(r.exitCode, 0) << r.output;

  // The aqua block and the white strip must be inside the window's part of the picture.
  Geometry g;
  ASSERT_TRUE(HostGeometry(XWindowOf(*viewer), g));
  std::ostringstream crop;
  crop << g.width << "x" << g.height << "+" << g.x << "+" << g.y;
  auto share = [&](const std::string& colour) {
    HostResult c =
        RunHost("convert '" + shot + "' -crop " + crop.str() + " +repage -fill black +opaque '" +
                colour + "' -fill white -opaque '" + colour + "' -format '%[fx:mean]' info:");
    return std::atof(c.output.c_str());
  };
  EXPECT_GT(share("#00FFFF"), 0.001) << "no moving block in " << shot;
  EXPECT_GT(share("#FFFFFF"), 0.01) << "no strip in " << shot;
  EXPECT_GT(share("#008000"), 0.0001) << "no green status line in " << shot;
  std::printf("screenshot: %s\n", shot.c_str());
}

TEST_F(ViewerWindowTest, PercentageBarIsClampedToItsStrip) {
  auto* viewer = new TProgressViewer("Проценты", true, false);
  viewers_.push_back(viewer);
  ASSERT_TRUE(WaitFor([&] { return XWindowOf(*viewer) != 0 && viewer->GetHeight() > 70; }, 5000));
  const unsigned long window = XWindowOf(*viewer);
  ASSERT_TRUE(WaitFor([&] { return Viewable(window); }, 5000));
  const std::string shot = HostScreenshotPath("progress-percent.png");
  // Share of aqua pixels in the strip's rows of the window.
  auto barShare = [&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a few frames
    RunHost("import -window " + std::to_string(window) + " '" + shot + "'");
    std::ostringstream crop;
    crop << viewer->GetWidth() - 40 << "x20+20+" << viewer->GetHeight() - 60;
    HostResult c = RunHost("convert '" + shot + "' -crop " + crop.str() +
                           " +repage -fill black +opaque '#00FFFF' -fill white -opaque "
                           "'#00FFFF' -format '%[fx:mean]' info:");
    return std::atof(c.output.c_str());
  };
  viewer->SetPosition(150);
  const double full = barShare();
  viewer->SetPosition(-5);
  const double empty = barShare();
  viewer->SetPosition(50);
  const double half = barShare();
  EXPECT_GT(full, 0.6) << shot;
  EXPECT_LT(empty, 0.01) << shot;
  EXPECT_GT(half, 0.25) << shot;
  EXPECT_LT(half, full - 0.2) << shot;
}

TEST_F(ViewerWindowTest, TerminateTakesTheWindowAway) {
  TProgressViewer* viewer = Show("Сейчас закроется", false);
  unsigned long window = XWindowOf(*viewer);
  EXPECT_EQ(FindViewer(viewer->GetHandle()), viewer);
  viewer->Terminate();
  viewers_.clear();
  EXPECT_TRUE(WaitFor([&] { return !Viewable(window); }, 2000));
  EXPECT_TRUE(WaitForViewerThreads(3000));
  EXPECT_TRUE(WindowListSnapshot().empty());
}
