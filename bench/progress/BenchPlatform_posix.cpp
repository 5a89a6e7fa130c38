#include <X11/Xlib.h>
#include <sys/resource.h>

#include "bench/progress/BenchPlatform.h"

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

namespace {
int IgnoreXError(Display*, XErrorEvent*) {
  return 0;
}  // a window already gone is "not shown"
}  // namespace

bool WindowShown(TWindowHandle window) {
  static Display* display = [] {
    XSetErrorHandler(IgnoreXError);
    return XOpenDisplay(nullptr);
  }();
  if (display == nullptr || window == 0) {
    return false;
  }
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display, static_cast<Window>(window), &attributes)) {
    return false;
  }
  return attributes.map_state == IsViewable;
}
