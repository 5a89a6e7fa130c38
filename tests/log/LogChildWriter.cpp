// A writer process for the shared-log tests and the benchmark:
//   log_child_writer <log> <writer id> <records per thread> <threads> <max size>
//                    [<go file> [<pause ms>]]
// With a go file it waits for that file to appear before writing, so writers start together;
// a pause after each record lets the writers take turns instead of writing in bursts.
// Every record is "w=<id> t=<thread> n=<number> " followed by filler, so the reader can
// tell whether a writer's sequence has gaps and whether a line was torn or interleaved.
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "log/HuxLogger.h"
#include "os/Files.h"
#include "os/Time.h"

int main(int argc, char** argv) {
  if (argc < 6 || argc > 8)
    return 2;
  if (argc >= 7)
    while (!os::FileExists(argv[6]))
      os::SleepMs(1);
  const int pauseMs = argc == 8 ? std::atoi(argv[7]) : 0;
  HuxLoggerUnitInitialize();
  {
    THuxLogger log(argv[1]);
    log.SetMaxSize(std::atoll(argv[5]));
    const std::string writer = argv[2];
    const int records = std::atoi(argv[3]);
    const int threads = std::atoi(argv[4]);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
      workers.emplace_back([&, t] {
        const std::string filler(60, static_cast<char>('a' + t % 26));
        for (int n = 0; n < records; ++n) {
          log.Write("w=" + writer + " t=" + std::to_string(t) + " n=" + std::to_string(n) + " " +
                    filler);
          if (pauseMs > 0)
            os::SleepMs(pauseMs);
        }
      });
    }
    for (auto& w : workers)
      w.join();
  }
  HuxLoggerUnitFinalize();
  return 0;
}
