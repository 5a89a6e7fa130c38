#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/progress/HostDisplay.h"

HostResult RunHostCommand(const std::string& command) {
  HostResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) {
    return result;
  }
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    result.output.append(buffer, n);
  }
  int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

unsigned long XWindowOf(const TProgressViewer& viewer) {
  return static_cast<unsigned long>(viewer.GetHandle());
}

bool HasKeyboardFocus(const TProgressViewer& viewer) {
  HostResult r = RunHostCommand("xdotool getwindowfocus");
  return r.exitCode == 0 && std::strtoul(r.output.c_str(), nullptr, 10) == XWindowOf(viewer);
}

bool NewWindowsGetHostFocus() {
  return true;
}

bool ButtonShown(const TProgressViewer& viewer) {
  if (viewer.GetButtonHandle() == 0) {
    return false;
  }
  HostResult r = RunHostCommand("xwininfo -id " + std::to_string(viewer.GetButtonHandle()) +
                                " | grep 'Map State'");
  return r.output.find("IsViewable") != std::string::npos;
}

std::string HostScreenshotPath(const std::string& fileName) {
  const char* bin = std::getenv("VELMAR_BIN_DIR");
  std::string dir = bin != nullptr ? std::string(bin) + "/../screenshots" : "/tmp";
  std::system(("mkdir -p '" + dir + "'").c_str());
  return dir + "/" + fileName;
}
