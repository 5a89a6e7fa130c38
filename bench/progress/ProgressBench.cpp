// How much a progress window costs: processor time of one animating viewer, and how soon its
// window goes after Terminate. Needs an X display (DISPLAY), natively or under Wine.
//   progress_bench [seconds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bench/progress/BenchPlatform.h"
#include "progress/ProgressViewer.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Waits until the viewer's window is on the screen; false after 5 s.
bool WaitShown(TProgressViewer* viewer) {
  auto start = Clock::now();
  while (MsSince(start) < 5000) {
    if (viewer->GetHeight() > 70 && WindowShown(viewer->GetHandle())) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  ProgressViewerUnitInitialize();
  UseVelmarApplicationCaption();

  // 1. One viewer animating while this thread only waits, as a workflow does.
  auto* viewer = new TProgressViewer("Выполняется проверка базы данных...", false, true);
  if (!WaitShown(viewer)) {
    std::fprintf(stderr, "no progress window appeared (is DISPLAY set?)\n");
    viewer->Terminate();
    return 1;
  }
  const double cpuBefore = ProcessCpuSeconds();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double wallMs = MsSince(start);
  const double cpuMs = (ProcessCpuSeconds() - cpuBefore) * 1000;
  viewer->Terminate();
  WaitForViewerThreads(3000);
  std::printf("animating viewer: %.0f ms processor time in %.0f ms = %.2f%% of one core\n", cpuMs,
              wallMs, 100 * cpuMs / wallMs);

  // 2. From Terminate to the window's disappearance.
  std::vector<double> gone;
  for (int i = 0; i < 20; ++i) {
    auto* v = new TProgressViewer("Закрытие", false, i % 2 == 0);
    if (!WaitShown(v)) {
      std::fprintf(stderr, "window %d did not appear\n", i);
      v->Terminate();
      continue;
    }
    TWindowHandle window = v->GetHandle();
    auto terminated = Clock::now();
    v->Terminate();
    while (WindowShown(window) && MsSince(terminated) < 5000) {
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    gone.push_back(MsSince(terminated));
    WaitForViewerThreads(3000);
  }
  std::sort(gone.begin(), gone.end());
  if (!gone.empty()) {
    std::printf("Terminate to window gone (%zu runs): median %.1f ms, max %.1f ms\n", gone.size(),
                gone[gone.size() / 2], gone.back());
  }
  ProgressViewerUnitFinalize();
  return 0;
}
