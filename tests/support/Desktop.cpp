#include "tests/support/Desktop.h"

#include <cstdlib>
#include <sstream>

namespace testsupport {

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty())
      lines.push_back(line);
  }
  return lines;
}

bool Succeeds(const std::string& command) {
  return RunHost(command).exitCode == 0;
}

// Windows vanish between the listing and the next question: xdotool's complaints about them
// are noise.
std::string Xdotool(const std::string& arguments) {
  return "xdotool " + arguments + " 2>/dev/null";
}

}  // namespace

std::vector<ScreenWindow> TitledWindows() {
  const HostResult r =
      RunHost("for w in $(" + Xdotool("search --onlyvisible --name ''") + "); do n=$(" +
              Xdotool("getwindowname \"$w\"") +
              ") && [ -n \"$n\" ] && printf '%s\\t%s\\n' \"$w\" \"$n\"; done; true");
  std::vector<ScreenWindow> windows;
  for (const std::string& line : Lines(r.output)) {
    const std::size_t tab = line.find('\t');
    if (tab != std::string::npos)
      windows.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return windows;
}

std::vector<std::string> ProgressWindows() {
  // Linux: the window class the viewer registers. Under Wine the X class is the program's
  // name, but the title is the viewer's own, the same on both.
  const std::string query = std::string(PlatformName()) == "linux"
                                ? "search --onlyvisible --class '^ProgressViewerFormClass$'"
                                : "search --onlyvisible --name '^ProgressWnd$'";
  return Lines(RunHost(Xdotool(query) + "; true").output);
}

std::string ActiveWindow() {
  const std::vector<std::string> lines = Lines(RunHost(Xdotool("getactivewindow")).output);
  return lines.empty() ? "" : lines.front();
}

bool PressKeys(const std::string& windowId, const std::string& keys) {
  return Succeeds(Xdotool("windowactivate --sync " + windowId + " key --delay 60 " + keys));
}

bool TypeText(const std::string& windowId, const std::string& text) {
  return Succeeds(
      Xdotool("windowactivate --sync " + windowId + " type --delay 25 " + ShellQuote(text)));
}

bool ClickAt(const std::string& windowId, int x, int y) {
  // No --sync on the move: xdotool would wait for a move that never comes when the pointer is
  // already there (the same button clicked twice). Events of one connection keep their order.
  return Succeeds(Xdotool("windowactivate --sync " + windowId + " mousemove --window " + windowId +
                          " " + std::to_string(x) + " " + std::to_string(y) + " click 1"));
}

bool IsVisible(const std::string& windowId) {
  for (const std::string& id : Lines(RunHost(Xdotool("search --onlyvisible --name ''")).output)) {
    if (id == windowId)
      return true;
  }
  return false;
}

bool SaveScreenshot(const std::string& windowId, const std::string& pngPath) {
  return Succeeds("timeout 10 import -window " + windowId + " " + ShellQuote(pngPath));
}

bool SaveScreenArea(const std::string& windowId, const std::string& pngPath) {
  return Succeeds("eval $(" + Xdotool("getwindowgeometry --shell " + windowId) +
                  ") && [ -n \"$WIDTH\" ] && timeout 10 import -window root -crop "
                  "\"${WIDTH}x${HEIGHT}+${X}+${Y}\" +repage " +
                  ShellQuote(pngPath));
}

std::string ArtifactFolder() {
  const char* bin = std::getenv("VELMAR_BIN_DIR");
  const std::string folder = std::string(bin ? bin : ".") + "/../artifacts/e2e";
  const std::string resolved =
      RunHost("mkdir -p " + ShellQuote(folder) + " && cd " + ShellQuote(folder) + " && pwd -P")
          .output;
  return resolved.substr(0, resolved.find('\n'));
}

}  // namespace testsupport
