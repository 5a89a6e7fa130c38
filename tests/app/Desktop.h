// The test display as the window tests wait on it, over the support's desktop driver.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/support/Desktop.h"

using namespace testsupport;
using DesktopWindow = ScreenWindow;

// Where the screenshots go: <build>/app-screenshots, created on demand (a host path).
std::string ScreenshotFolder();

std::vector<DesktopWindow> WindowsTitled(const std::string& title);
// Waits until a window with exactly this title is visible.
std::optional<DesktopWindow> WaitForWindow(const std::string& title, int timeoutMs);
// Waits until no window with this title is visible.
bool WaitForNoWindow(const std::string& title, int timeoutMs);
// Waits for a visible window whose id is not among `known`.
std::optional<DesktopWindow> WaitForNewWindow(const std::vector<DesktopWindow>& known,
                                              int timeoutMs);
