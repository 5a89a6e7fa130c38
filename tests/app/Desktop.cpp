// The waits of the window tests.
#include <algorithm>
#include <cstdlib>

#include "tests/app/Desktop.h"

std::vector<DesktopWindow> WindowsTitled(const std::string& title) {
  std::vector<DesktopWindow> found;
  std::ranges::copy_if(TitledWindows(), std::back_inserter(found),
                       [&](const DesktopWindow& w) { return w.title == title; });
  return found;
}

std::optional<DesktopWindow> WaitForWindow(const std::string& title, int timeoutMs) {
  std::optional<DesktopWindow> found;
  PollUntil(timeoutMs, [&] {
    const std::vector<DesktopWindow> shown = WindowsTitled(title);
    if (!shown.empty())
      found = shown.front();
    return found.has_value();
  });
  return found;
}

bool WaitForNoWindow(const std::string& title, int timeoutMs) {
  return PollUntil(timeoutMs, [&] { return WindowsTitled(title).empty(); });
}

std::optional<DesktopWindow> WaitForNewWindow(const std::vector<DesktopWindow>& known,
                                              int timeoutMs) {
  std::optional<DesktopWindow> found;
  PollUntil(timeoutMs, [&] {
    for (const DesktopWindow& w : TitledWindows()) {
      if (!found &&
          std::ranges::none_of(known, [&](const DesktopWindow& k) { return k.id == w.id; }))
        found = w;
    }
    return found.has_value();
  });
  return found;
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
