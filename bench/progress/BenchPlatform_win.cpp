#include <windows.h>

#include "bench/progress/BenchPlatform.h"

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

bool WindowShown(TWindowHandle window) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  return hwnd != nullptr && IsWindow(hwnd) && IsWindowVisible(hwnd);
}
