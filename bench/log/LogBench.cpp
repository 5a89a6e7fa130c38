// Throughput of the session log: one writer in-process, four writer processes on one log
// (named mutex, open and close per record), and the time one size cut of a full log takes.
//   log_bench [records per writer]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "log/HuxLogger.h"
#include "os/Files.h"
#include "tests/log/LogTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

const std::string kText = "Начало проверки базы данных C:\\KORA\\DB\\VELMAR.FDB";

double OneWriter(const logtest::ScratchDir& dir, int records) {
  THuxLogger log(dir / "one.log");
  for (int n = 0; n < 200; ++n)  // warm-up: first opens are slow under Wine
    log.Write(kText, llEvent);
  const auto start = Clock::now();
  for (int n = 0; n < records; ++n)
    log.Write(kText, llEvent);
  return records / SecondsSince(start);
}

double FourProcesses(const logtest::ScratchDir& dir, int records) {
  const std::string path = dir / "four.log";
  const std::string go = dir / "go";
  std::vector<std::unique_ptr<logtest::ChildProcess>> children;
  for (int w = 0; w < 4; ++w)
    children.push_back(logtest::ChildProcess::Start(
        logtest::SiblingProgram("log_child_writer"),
        {path, std::to_string(w), std::to_string(records), "1", "1048576", go}));
  os::SleepMs(500);  // let every child reach its start line
  const auto start = Clock::now();
  logtest::WriteBytes(go, "");
  for (auto& child : children)
    child->Wait();
  return 4.0 * records / SecondsSince(start);
}

// A log one record short of the cut threshold (1398101 bytes with 1 MiB), then the record
// that makes it cut. Returns the median time of that write, and of a plain write, in ms.
void OneCut(const logtest::ScratchDir& dir, double& cutMs, double& plainMs) {
  const std::string path = dir / "cut.log";
  std::string line = std::string(70, 'x') + "\r\n";
  std::string full;
  while (full.size() < 1398101 - 200)
    full += line;
  std::vector<double> cuts, plains;
  for (int round = 0; round < 7; ++round) {
    logtest::WriteBytes(path, full);
    THuxLogger log(path);
    auto start = Clock::now();
    log.Write(kText);
    plains.push_back(SecondsSince(start) * 1000);
    logtest::WriteBytes(path, full + std::string(200, 'y'));
    start = Clock::now();
    log.Write(kText);  // now above the threshold: cut to the newest 1 MiB
    cuts.push_back(SecondsSince(start) * 1000);
  }
  std::sort(cuts.begin(), cuts.end());
  std::sort(plains.begin(), plains.end());
  cutMs = cuts[cuts.size() / 2];
  plainMs = plains[plains.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 5000;
  HuxLoggerUnitInitialize();
  {
    logtest::ScratchDir dir;
    std::printf("one writer, one process:        %10.0f records/s (%d records)\n",
                OneWriter(dir, records), records);
    std::printf("four processes, one log, mutex: %10.0f records/s (4 x %d records)\n",
                FourProcesses(dir, records), records);
    double cutMs = 0, plainMs = 0;
    OneCut(dir, cutMs, plainMs);
    std::printf("write that cuts a 1.33 MiB log: %10.2f ms (median of 7)\n", cutMs);
    std::printf("plain write on that log:        %10.3f ms (median of 7)\n", plainMs);
  }
  HuxLoggerUnitFinalize();
  return 0;
}
