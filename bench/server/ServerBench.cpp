// The tool runner's cost: how much longer a tool run takes through RunToolBatch (script file,
// progress window, 100 ms polling, clean-up) than the same command line run directly by the
// command interpreter, and how soon after the tool's exit the runner returns.
//
//   server_bench [runs]      (on Linux under an X display, e.g. tools/with-test-display)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "os/Environment.h"
#include "os/Files.h"
#include "os/Process.h"
#include "progress/ProgressViewer.h"
#include "server/FixedPaths.h"
#include "server/ToolRunner.h"
#include "server/ToolScript.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

bool OnWindows() {
  return os::PathDelimiter() == '\\';
}

struct Stats {
  double median, min, max;
};

Stats Summarise(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values.front(), values.back()};
}

Clock::time_point ReadStamp(const std::string& path) {
  std::ifstream in(path);
  long long ns = 0;
  in >> ns;
  return Clock::time_point(std::chrono::nanoseconds(ns));
}

void Print(const char* what, const Stats& s) {
  std::printf("%-46s median %8.2f ms   min %8.2f ms   max %8.2f ms\n", what, s.median, s.min,
              s.max);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 30;
  if (!OnWindows() && !os::GetEnv("KORA_ROOT"))
    os::SetEnv("KORA_ROOT", os::TempDirectory() + "velmar-server-bench");
  if (!os::ForceDirectories(paths::WorkDirectory())) {
    std::fprintf(stderr, "cannot create %s\n", paths::WorkDirectory().c_str());
    return 1;
  }
  ProgressViewerUnitInitialize();

  const std::string tool =
      os::ProgramDirectory() + (OnWindows() ? "server_bench_tool.exe" : "server_bench_tool");
  const std::string stamp = paths::WorkDirectory() + "exit-stamp.txt";
  const std::string log = paths::WorkDirectory() + "bench.log";
  const std::string command = "\"" + tool + "\" \"" + stamp + "\" > \"" + log + "\" 2>&1";
  // cmd /c drops the outer quotes of a line that holds more than two.
  const std::string directCommand = OnWindows() ? "\"" + command + "\"" : command;

  std::vector<double> directMs, hiddenMs, runnerMs, directNoticeMs, runnerNoticeMs;
  const std::string script = paths::WorkDirectory() + "bench-script.bat";
  for (int i = 0; i < runs; ++i) {
    auto start = Clock::now();
    if (std::system(directCommand.c_str()) != 0) {
      std::fprintf(stderr, "the direct run failed\n");
      return 1;
    }
    auto end = Clock::now();
    directMs.push_back(Ms(end - start));
    directNoticeMs.push_back(Ms(end - ReadStamp(stamp)));

    // The runner's own start and wait, without its progress window.
    start = Clock::now();
    WriteToolScript(script, command);
    if (auto process = os::Process::StartHiddenScript(script)) {
      while (!process->Wait(100)) {
      }
    }
    os::RemoveFile(script);
    hiddenMs.push_back(Ms(Clock::now() - start));

    start = Clock::now();
    RunToolBatch(command, "Выполняется проверка базы данных...");
    end = Clock::now();
    runnerMs.push_back(Ms(end - start));
    runnerNoticeMs.push_back(Ms(end - ReadStamp(stamp)));
  }
  WaitForViewerThreads(5000);
  ProgressViewerUnitFinalize();
  os::RemoveFile(stamp);
  os::RemoveFile(log);

  std::printf("%d runs of a tool that exits at once\n", runs);
  const Stats direct = Summarise(directMs), runner = Summarise(runnerMs);
  Print("command run directly (shell, no script)", direct);
  Print("script started hidden, no progress window", Summarise(hiddenMs));
  Print("RunToolBatch", runner);
  std::printf("%-46s %8.2f ms\n", "runner overhead (difference of medians)",
              runner.median - direct.median);
  Print("tool exit -> direct run returns", Summarise(directNoticeMs));
  Print("tool exit -> RunToolBatch returns", Summarise(runnerNoticeMs));
  return 0;
}
