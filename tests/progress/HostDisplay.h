// The test's view of the X display from outside the program: host commands (xdotool,
// xwininfo, import) and the X window behind a viewer's window handle. On the Windows build
// these run under Wine and reach the host's programs through /bin/sh.
#pragma once

#include <string>

#include "progress/ProgressViewer.h"
#include "tests/support/HostShell.h"

using testsupport::HostResult;
using testsupport::RunHost;

// The X window id of the viewer's window as other X clients see it; 0 when unknown.
unsigned long XWindowOf(const TProgressViewer& viewer);

// True when the viewer's window has the keyboard focus, so that keys reach it.
bool HasKeyboardFocus(const TProgressViewer& viewer);

// True where a newly shown window gets the host's keyboard focus without the window
// manager being asked: natively yes; under Wine the X focus of a new window is left to the
// window manager, which does not give it.
bool NewWindowsGetHostFocus();

// True when the viewer's cancel button is shown.
bool ButtonShown(const TProgressViewer& viewer);

// Where the screenshots go: the build folder, as a path the host understands.
std::string HostScreenshotPath(const std::string& fileName);
