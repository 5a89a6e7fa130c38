// The window of one progress viewer: created, pumped, laid out, painted and released on the
// viewer's own thread. One implementation per platform (Win32; Xlib/Xft).
#pragma once

#include <memory>

#include "progress/ProgressViewer.h"

namespace progress_internal {

// Registers the window class (and prepares the window system for threads); true when the
// class is available afterwards.
bool RegisterProgressWindowClass();

// Window-system errors that arrived on the viewers' own connections and were taken there
// instead of by the process's handler. Win32 reports a failure from the call itself, so
// nothing arrives there later.
int ViewerConnectionErrorCount();

struct WorkArea {
  int left = 0, top = 0, right = 0, bottom = 0;
};
// The screen area not covered by task bars, asked of the platform each time.
WorkArea QueryWorkArea();

class ViewerWindow {
 public:
  struct Platform;  // the platform's connection, window and surfaces

  // Creates and shows the window and its button. Returns nullptr when the viewer cannot
  // have a window at all; then the viewer runs its cycles without one.
  static std::unique_ptr<ViewerWindow> Create(TProgressViewer& viewer);
  ~ViewerWindow();

  bool HasWindow() const;
  void DispatchMessages();
  // Text block and background; called with StringsLock held.
  void LayOut();
  void PaintFrame();
  void RefreshButton();
  // Hides the window and lets it go; the handle is unregistered and cleared by the caller.
  void Close();

  // The answer to the frame message: puts the viewer's finished frame on its window.
  static void PutFrameOnWindow(TProgressViewer* viewer, TWindowHandle window);

 private:
  explicit ViewerWindow(TProgressViewer& viewer);
  void Resize(int newWidth, int newHeight);
  void LayOutTextBlock();
  void ComposeBackground();

  TProgressViewer& viewer_;
  std::unique_ptr<Platform> p_;
};

}  // namespace progress_internal
