// The progress windows' own X connections, one per viewer thread, beside a process whose
// error handler another toolkit may own: viewers that follow each other must not inherit
// anything of a closed connection, and an error on a viewer's connection stays there.
#include <atomic>
#include <string>

#include "progress/ViewerWindow.h"
#include "tests/progress/HostDisplay.h"
#include "tests/progress/ViewerTestSupport.h"

// Xlib last: its macros (None, Bool) clash with the test framework's names.
#include <X11/Xlib.h>

namespace {

std::atomic<int> errorsSeenByTheOtherToolkit{0};

// A toolkit's handler as the file dialog's is: it would end the process.
int OtherToolkitsHandler(Display*, XErrorEvent*) {
  errorsSeenByTheOtherToolkit.fetch_add(1);
  return 0;
}

class ViewerConnections : public ViewerTest {
 protected:
  // A viewer with text in two faces, shown until its window has been painted a few times.
  static TProgressViewer* ShowPainted(const std::string& caption) {
    auto* viewer = new TProgressViewer(caption, false, true);
    viewer->SetString(1, "Выполняется проверка базы данных...", taCenter, true, 0, fsBold, 10,
                      "MS Sans Serif");
    EXPECT_TRUE(WaitFor([&] { return XWindowOf(*viewer) != 0 && viewer->GetHeight() > 70; }, 5000));
    std::atomic<int> cycles{0};
    SetViewerCycleHook([&](TProgressViewer&) { cycles.fetch_add(1); });
    EXPECT_TRUE(WaitFor([&] { return cycles.load() >= 5; }, 5000));
    SetViewerCycleHook(nullptr);
    return viewer;
  }
};

TEST_F(ViewerConnections, ViewersOneAfterAnotherSendNoRequestTheServerRefuses) {
  const int before = progress_internal::ViewerConnectionErrorCount();
  // Each viewer's thread and connection end before the next one's start, so the next
  // connection tends to get the address of the last.
  for (int i = 0; i < 8; ++i) {
    TProgressViewer* viewer = ShowPainted("Окно " + std::to_string(i + 1));
    viewer->Terminate();
    ASSERT_TRUE(WaitForViewerThreads(5000));
  }
  EXPECT_EQ(progress_internal::ViewerConnectionErrorCount(), before);
}

TEST_F(ViewerConnections, ErrorOnAViewersConnectionStaysThereWhoeverInstalledTheHandlerLast) {
  XErrorHandler ours = XSetErrorHandler(OtherToolkitsHandler);
  errorsSeenByTheOtherToolkit = 0;
  const int before = progress_internal::ViewerConnectionErrorCount();
  TProgressViewer* viewer = ShowPainted("Окно без окна");

  // The window vanishes under the viewer, which goes on painting onto it.
  Display* outside = XOpenDisplay(nullptr);
  ASSERT_NE(outside, nullptr);
  XDestroyWindow(outside, XWindowOf(*viewer));
  XSync(outside, False);
  EXPECT_TRUE(
      WaitFor([&] { return progress_internal::ViewerConnectionErrorCount() > before; }, 5000));
  viewer->Terminate();
  EXPECT_TRUE(WaitForViewerThreads(5000));

  // The other toolkit still gets the errors of its own connections.
  XGetAtomName(outside, 0);
  XSync(outside, False);
  XCloseDisplay(outside);
  EXPECT_EQ(errorsSeenByTheOtherToolkit.load(), 1);
  XSetErrorHandler(ours);
}

}  // namespace
