#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/progress/HostDisplay.h"

unsigned long XWindowOf(const TProgressViewer& viewer) {
  return static_cast<unsigned long>(viewer.GetHandle());
}

bool HasKeyboardFocus(const TProgressViewer& viewer) {
  HostResult r = RunHost("xdotool getwindowfocus");
  return r.exitCode == 0 && std::strtoul(r.output.c_str(), nullptr, 10) == XWindowOf(viewer);
}

bool NewWindowsGetHostFocus() {
  return true;
}

bool ButtonShown(const TProgressViewer& viewer) {
  if (viewer.GetButtonHandle() == 0) {
    return false;
  }
  HostResult r =
      RunHost("xwininfo -id " + std::to_string(viewer.GetButtonHandle()) + " | grep 'Map State'");
  return r.output.find("IsViewable") != std::string::npos;
}

std::string HostScreenshotPath(const std::string& fileName) {
  const char* bin = std::getenv("VELMAR_BIN_DIR");
  std::string dir = bin != nullptr ? std::string(bin) + "/../screenshots" : "/tmp";
  std::system(("mkdir -p '" + dir + "'").c_str());
  return dir + "/" + fileName;
}
