// The test display as the operator sees it: windows listed, keys pressed and pictures taken
// with the host's own X tools (xdotool, ImageMagick's import), so the same test drives FLTK
// windows and the Windows build's windows under Wine alike.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct HostResult {
  int exitCode = -1;
  std::string output;
};

// Runs a /bin/sh command on the host (from the Windows build through Wine's host bridge).
HostResult RunHostCommand(const std::string& command);
// A host path as this program opens it (Wine sees the host's root as drive Z:).
std::string LocalPath(const std::string& hostPath);
// Where the screenshots go: <build>/app-screenshots, created on demand (a host path).
std::string ScreenshotFolder();
// "linux" or "windows", for file names.
const char* PlatformName();

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
// The text of the system message box titled `title` where the platform lets another program
// read it (Windows); nothing elsewhere.
std::optional<std::string> MessageBoxText(const std::string& title);

// A program started by the test, with extra environment variables.
class ChildProgram {
 public:
  static std::unique_ptr<ChildProgram> Start(const std::string& path,
                                             const std::vector<std::string>& extraEnvironment);
  virtual ~ChildProgram() = default;
  // The exit code once the program has ended within `timeoutMs`.
  virtual std::optional<int> Wait(int timeoutMs) = 0;
  virtual void Kill() = 0;
};
