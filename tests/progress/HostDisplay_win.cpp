#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/progress/HostDisplay.h"

namespace {

// Wine maps the host's root folder to drive Z:.
std::string WinePathOf(const std::string& hostPath) {
  std::string path = "Z:" + hostPath;
  for (char& c : path) {
    if (c == '/') {
      c = '\\';
    }
  }
  return path;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

HostResult RunHostCommand(const std::string& command) {
  // Wine starts host programs but does not connect their output or exit code to ours: the
  // command writes both to files that we wait for.
  static int counter = 0;
  std::string base = "/tmp/velmar-progress-host-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(++counter);
  {
    std::ofstream script(WinePathOf(base + ".sh"), std::ios::binary);
    script << "(" << command << ") >" << base << ".out 2>&1\n"
           << "echo $? >" << base << ".tmp && mv " << base << ".tmp " << base << ".rc\n";
  }
  std::string line = "/bin/sh " + base + ".sh";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  HostResult result;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return result;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int i = 0; i < 600; ++i) {
    std::string rc = ReadAll(WinePathOf(base + ".rc"));
    if (!rc.empty()) {
      result.exitCode = std::atoi(rc.c_str());
      result.output = ReadAll(WinePathOf(base + ".out"));
      break;
    }
    Sleep(50);
  }
  for (const char* ext : {".sh", ".out", ".rc"}) {
    DeleteFileA(WinePathOf(base + ext).c_str());
  }
  return result;
}

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
  HostResult r = RunHostCommand("xdotool getwindowfocus");
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
  RunHostCommand("mkdir -p '" + dir + "'");
  return dir + "/" + fileName;
}
