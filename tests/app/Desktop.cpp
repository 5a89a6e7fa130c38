// The parts of the desktop driver that only need a host shell.
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "tests/app/Desktop.h"

std::vector<DesktopWindow> VisibleWindows() {
  const HostResult r = RunHost(
      "for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do "
      "printf '%s\\t%s\\n' \"$w\" \"$(xdotool getwindowname \"$w\" 2>/dev/null)\"; done");
  std::vector<DesktopWindow> windows;
  std::istringstream lines(r.output);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos)
      continue;
    windows.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return windows;
}

std::vector<DesktopWindow> WindowsTitled(const std::string& title) {
  std::vector<DesktopWindow> found;
  for (const DesktopWindow& w : VisibleWindows()) {
    if (w.title == title)
      found.push_back(w);
  }
  return found;
}

std::optional<DesktopWindow> WaitForWindow(const std::string& title, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    std::vector<DesktopWindow> found = WindowsTitled(title);
    if (!found.empty())
      return found.front();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (std::chrono::steady_clock::now() < end);
  return std::nullopt;
}

bool WaitForNoWindow(const std::string& title, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    if (WindowsTitled(title).empty())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (std::chrono::steady_clock::now() < end);
  return false;
}

bool PressKeys(const DesktopWindow& window, const std::string& keys) {
  return RunHost("xdotool windowactivate --sync " + window.id + " key --delay 50 " + keys)
             .exitCode == 0;
}

bool TypeText(const DesktopWindow& window, const std::string& text) {
  return RunHost("xdotool windowactivate --sync " + window.id + " type --delay 30 " +
                 ShellQuote(text))
             .exitCode == 0;
}

std::optional<DesktopWindow> WaitForNewWindow(const std::vector<DesktopWindow>& known,
                                              int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    for (const DesktopWindow& w : VisibleWindows()) {
      bool old = false;
      for (const DesktopWindow& k : known)
        old = old || k.id == w.id;
      if (!old && !w.title.empty())
        return w;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (std::chrono::steady_clock::now() < end);
  return std::nullopt;
}

bool SaveScreenshot(const DesktopWindow& window, const std::string& hostPngPath) {
  return RunHost("import -window " + window.id + " " + ShellQuote(hostPngPath)).exitCode == 0;
}

std::string ScreenshotFolder() {
  const char* bin = std::getenv("VELMAR_BIN_DIR");
  const std::string base = bin ? std::string(bin) + "/.." : std::string(".");
  const std::string folder =
      RunHost("mkdir -p " + ShellQuote(base + "/app-screenshots") + " && cd " +
              ShellQuote(base + "/app-screenshots") + " && pwd -P")
          .output;
  return folder.substr(0, folder.find('\n'));
}
