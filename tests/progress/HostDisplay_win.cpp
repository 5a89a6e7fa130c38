#include <windows.h>

#include <cstdlib>

#include "tests/progress/HostDisplay.h"

unsigned long XWindowOf(const TProgressViewer& viewer) {
  HWND window = reinterpret_cast<HWND>(viewer.GetHandle());
  if (window == nullptr) {
    return 0;
  }
  // The display driver keeps the X window of every top-level window in this property.
  return static_cast<unsigned long>(
      reinterpret_cast<ULONG_PTR>(GetPropA(window, "__wine_x11_whole_window")));
}

bool HasKeyboardFocus(const TProgressViewer& viewer) {
  HWND window = reinterpret_cast<HWND>(viewer.GetHandle());
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (thread == 0 || !GetGUIThreadInfo(thread, &info) || info.hwndFocus != window) {
    return false;
  }
  // Keys typed on the host go where X has the focus, which follows a moment later.
  HostResult r = RunHost("xdotool getwindowfocus");
  unsigned long focused = std::strtoul(r.output.c_str(), nullptr, 10);
  return r.exitCode == 0 && focused == XWindowOf(viewer);
}

bool NewWindowsGetHostFocus() {
  return false;
}

bool ButtonShown(const TProgressViewer& viewer) {
  HWND button = reinterpret_cast<HWND>(viewer.GetButtonHandle());
  return button != nullptr && IsWindowVisible(button);
}

std::string HostScreenshotPath(const std::string& fileName) {
  const char* bin = std::getenv("VELMAR_BIN_DIR");
  std::string dir = bin != nullptr ? std::string(bin) + "/../screenshots" : "/tmp";
  RunHost("mkdir -p '" + dir + "'");
  return dir + "/" + fileName;
}
