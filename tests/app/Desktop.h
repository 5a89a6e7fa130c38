// The test display as the operator sees it: windows listed, keys pressed and pictures taken
// with the host's own X tools (xdotool, ImageMagick's import), so the same test drives FLTK
// windows and the Windows build's windows under Wine alike.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/HostShell.h"

using testsupport::HostProgram;
using testsupport::HostResult;
using testsupport::LocalPath;
using testsupport::MessageBoxText;
using testsupport::PlatformName;
using testsupport::RunHost;
using testsupport::ShellQuote;

// Where the screenshots go: <build>/app-screenshots, created on demand (a host path).
std::string ScreenshotFolder();

struct DesktopWindow {
  std::string id;  // X window id
  std::string title;
};

// Visible top-level windows with their titles, compared as UTF-8 here because xdotool does
// not match Cyrillic titles itself.
std::vector<DesktopWindow> VisibleWindows();
std::vector<DesktopWindow> WindowsTitled(const std::string& title);
// Waits until a window with exactly this title is visible.
std::optional<DesktopWindow> WaitForWindow(const std::string& title, int timeoutMs);
// Waits until no window with this title is visible.
bool WaitForNoWindow(const std::string& title, int timeoutMs);
// Activates the window and sends it keys in xdotool's words ("Return", "Escape", "alt+F4").
bool PressKeys(const DesktopWindow& window, const std::string& keys);
// Activates the window and types the text as keystrokes.
bool TypeText(const DesktopWindow& window, const std::string& text);
// Waits for a visible window whose id is not among `known`.
std::optional<DesktopWindow> WaitForNewWindow(const std::vector<DesktopWindow>& known,
                                              int timeoutMs);
bool SaveScreenshot(const DesktopWindow& window, const std::string& hostPngPath);
