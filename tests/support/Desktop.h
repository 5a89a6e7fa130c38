// The test display as the operator sees it: top-level windows with their titles, keys and
// mouse clicks sent to them, pictures taken of them. Everything goes through the host's own
// X tools, so the same code drives FLTK windows and the Windows build's windows under Wine.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/support/HostShell.h"

namespace testsupport {

struct ScreenWindow {
  std::string id;  // X window id
  std::string title;
};

// Visible top-level windows that carry a title. The titles are compared here, as UTF-8,
// because xdotool does not match Cyrillic titles itself.
std::vector<ScreenWindow> TitledWindows();
// Visible progress windows of the program (they draw their caption inside).
std::vector<std::string> ProgressWindows();
// The window that has the input focus now ("" when none can be told).
std::string ActiveWindow();

bool PressKeys(const std::string& windowId, const std::string& keys);
bool TypeText(const std::string& windowId, const std::string& text);
// Clicks the left button at (x, y) of the window's client area.
bool ClickAt(const std::string& windowId, int x, int y);
bool IsVisible(const std::string& windowId);
// A picture of a window that stays until it is answered (the main window, a box).
bool SaveScreenshot(const std::string& windowId, const std::string& pngPath);
// A picture of the screen where a window that may vanish at any moment (a progress window)
// lies: ImageMagick holds the X server while it reads a window, and a window destroyed under
// it stalls the program's own X calls for as long as import lives.
bool SaveScreenArea(const std::string& windowId, const std::string& pngPath);

// <build>/artifacts/e2e as a host path, created on demand.
std::string ArtifactFolder();

// Polls `probe` every 100 ms until it gives true or `timeoutMs` have passed.
template <typename Probe>
bool PollUntil(int timeoutMs, Probe probe);

}  // namespace testsupport

#include "tests/support/PollUntil.h"
