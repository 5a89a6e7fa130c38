// How much the repair costs beyond the server's tools themselves, and what the server-side
// backup and restore gained. On a damaged database of about 300 MB, in one run, alternating:
//   - the whole repair, as the program makes it;
//   - the same steps by hand the fast way: a kernel copy with flush, gfix -mend,
//     gfix -v -full, gbak -b -se, gbak -c -se, then (timed apart) gfix -v -full on the restored
//     file, and the replacement;
//   - the whole repair with gbak's command lines as they were before the server did the work
//     (the files through the network protocol): a stand-in script in the sandbox's bin folder
//     rewrites the repair's gbak command lines back to that form. Only this benchmark uses it.
//
//   repair_bench [--rows N] [--rounds N] [--master FILE]
//   Needs the private server ($VELMAR_FB_DIR). --master: start from a copy of an already damaged
//   database (made once by the damage kit) instead of making and damaging one, which takes minutes.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "check/OperatorDialogs.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "repair/RepairWorkflow.h"
#include "server/FixedPaths.h"
#include "tests/repair/RepairSandbox.h"
#include "tests/support/DamageKit.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/ToolRun.h"

namespace fs = std::filesystem;
using testsupport::FbTestServer;
using testsupport::RunTool;

namespace {

// The operator who saves the copy where asked and closes the success box.
class BenchDialogs : public OperatorDialogs {
 public:
  explicit BenchDialogs(std::string copy) : copy_(std::move(copy)) {}
  DialogResult ShowMessage(const std::string&, const std::string& text, DialogButtons, DialogIcon,
                           int) override {
    if (text.find("УСПЕШНО") != std::string::npos)
      sawSuccess = true;
    return DialogResult::Ok;
  }
  std::optional<std::string> ShowSaveDialog(const SaveDialogSettings&) override { return copy_; }
  void ShowError(const std::string&) override {}
  bool sawSuccess = false;  // the row report box may follow the success box

 private:
  std::string copy_;
};

// gbak as the repair ran it before: the same switches without -se, the database named
// through the server's network address, so every page travels through the network protocol.
const char* const kOldGbak =
    "case \"$1\" in\n"
    "  -b) [ \"$5\" = -se ] || exit 3\n"
    "    p=\"${6%service_mgr}\"; db=$7; backup=$8; shift 8\n"
    "    exec /usr/bin/gbak -b -v -ig -g \"$p$db\" \"$backup\" \"$@\" ;;\n"
    "  -c) [ \"$3\" = -se ] || exit 3\n"
    "    p=\"${4%service_mgr}\"; backup=$5; restored=$6; shift 6\n"
    "    exec /usr/bin/gbak -c -v \"$backup\" \"$p$restored\" \"$@\" ;;\n"
    "esac\n"
    "exit 3\n";
const char* const kCurrentGbak = "exec /usr/bin/gbak \"$@\"\n";

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// With a marker: the output must hold it. Without: the tool must say nothing (a validation
// that found no damage).
void MustRun(const std::string& tool, const std::vector<std::string>& args,
             const std::string& marker = {}) {
  const auto result = RunTool(tool, args);
  const std::string text = result.out + result.err;
  const bool ok = marker.empty() ? text.find_first_not_of(" \t\r\n") == std::string::npos
                                 : text.find(marker) != std::string::npos;
  if (!ok)
    throw std::runtime_error(tool + " " + args.front() + " failed: " + text.substr(0, 400));
}

// The file and its folder on the disk, as the safety copy is.
void Flush(const std::string& path) {
  for (const std::string& name : {path, fs::path(path).parent_path().string()}) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0)
      throw std::runtime_error("cannot flush " + name);
    ::close(fd);
  }
}

// Each variant starts from the same damaged file with nothing of the last one still waiting to
// be written: the restore's own flushes would otherwise pay for it.
void Fresh(const std::string& master, const std::string& work) {
  fs::remove(work);
  fs::copy_file(master, work);
  ::sync();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Fastest(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

// Seconds since midnight of a session log record's time stamp "dd.mm.yyyy hh:mm:ss.zzz".
double StampSeconds(const std::string& line) {
  if (line.size() < 23)
    return -1;
  return std::stoi(line.substr(11, 2)) * 3600 + std::stoi(line.substr(14, 2)) * 60 +
         std::stod(line.substr(17, 6));
}

// The gbak backup and restore of the last repair, from its session log records.
struct GbakSteps {
  double backup = -1;
  double restore = -1;
};

GbakSteps LastRepairSteps() {
  const std::string log = os::ReadWholeFile(paths::SessionLogFile());
  auto stampOfLast = [&log](const std::string& text) {
    const std::size_t at = log.rfind(text);
    if (at == std::string::npos)
      return -1.0;
    const std::size_t lineStart = log.rfind('\n', at);
    return StampSeconds(log.substr(lineStart == std::string::npos ? 0 : lineStart + 1, 23));
  };
  GbakSteps steps;
  steps.backup = stampOfLast("Создание резервной копии успешно завершено") -
                 stampOfLast("Будет сделана резервная копия базы данных");
  steps.restore = stampOfLast("Восстановление из резервной копии прошло успешно!") -
                  stampOfLast("Будет выполнено восстановление базы данных из резервной копии");
  return steps;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is known
  int rows = 120000;
  int rounds = 2;
  std::string given;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--rows")
      rows = std::atoi(argv[i + 1]);
    if (name == "--rounds")
      rounds = std::atoi(argv[i + 1]);
    if (name == "--master")
      given = argv[i + 1];
  }
  const auto server = FbTestServer::FromEnvironment();
  if (!server) {
    std::cerr << "repair_bench: start the private server and set VELMAR_FB_DIR\n";
    return 2;
  }
  try {
    repairtest::RepairSandbox sandbox(*server, "bench-repair");
    const std::string master = sandbox.DataDir() + "/MASTER.FDB";
    if (!given.empty()) {
      fs::copy_file(given, master);
      std::printf("database: %.0f MB, copied from %s\n", fs::file_size(master) / 1048576.0,
                  given.c_str());
    } else {
      const double made = Seconds([&] {
        testsupport::CreateTestDatabase(*server, master, rows, /*blobs=*/true);
        testsupport::Damage(*server, master, testsupport::DamageKind::RecordGarbage);
      });
      std::printf("database: %.0f MB, %d rows, made and damaged in %.1f s\n",
                  fs::file_size(master) / 1048576.0, rows, made);
    }

    const std::string db = sandbox.Database();
    const std::string copy = sandbox.DataDir() + "/COPY_BACKUP.FDB";
    const std::string backup = sandbox.DataDir() + "/HAND.fbk";
    const std::string restored = sandbox.DataDir() + "/HAND.restored";
    const std::string user = "SYSDBA", password = server->password;
    const std::string gfix = testsupport::GfixPath(), gbak = testsupport::GbakPath();
    const std::string serviceManager = "127.0.0.1/" + std::to_string(server->port) + ":service_mgr";

    auto repair = [&](GbakSteps& steps) {
      Fresh(master, db);
      fs::remove(copy);
      BenchDialogs dialogs(copy);
      WorkflowContext context{dialogs, [&] { return db; }};
      const double took = Seconds([&] { RepairDatabase(context); });
      if (!dialogs.sawSuccess)
        throw std::runtime_error("the repair did not reach the success box");
      steps = LastRepairSteps();
      fs::remove(copy);
      return took;
    };

    // Both variants of the repair start gbak through a script, so they differ only in its
    // command lines.
    sandbox.ReplaceTool("gbak", kCurrentGbak);
    std::vector<double> program, byHand, byHandChecked, oldProgram;
    for (int round = 1; round <= rounds; ++round) {
      GbakSteps steps;
      program.push_back(repair(steps));

      Fresh(master, db);
      fs::remove(copy);
      double copyTime = 0, mendTime = 0, checkTime = 0, backupTime = 0, restoreTime = 0,
             validateTime = 0, replaceTime = 0;
      const double total = Seconds([&] {
        copyTime = Seconds([&] {
          if (!os::CopyFileNoReplace(db, copy))
            throw std::runtime_error("cannot copy " + db);
          Flush(copy);
        });
        // The mend and the re-check report what they find; neither stops the repair.
        mendTime = Seconds([&] {
          RunTool(gfix, {"-mend", server->Address(db), "-user", user, "-pass", password});
        });
        checkTime = Seconds([&] {
          RunTool(gfix, {"-v", "-full", server->Address(db), "-user", user, "-pass", password});
        });
        backupTime = Seconds([&] {
          MustRun(gbak,
                  {"-b", "-v", "-ig", "-g", "-se", serviceManager, db, backup, "-user", user,
                   "-pass", password},
                  "gbak:closing file, committing, and finishing.");
        });
        restoreTime = Seconds([&] {
          MustRun(gbak,
                  {"-c", "-v", "-se", serviceManager, backup, restored, "-user", user, "-pass",
                   password},
                  "gbak:finishing, closing, and going home");
        });
        validateTime = Seconds([&] {
          MustRun(gfix,
                  {"-v", "-full", server->Address(restored), "-user", user, "-pass", password});
        });
        replaceTime = Seconds([&] {
          fs::remove(db);
          fs::rename(restored, db);
          fs::remove(backup);
        });
      });
      byHandChecked.push_back(total);
      byHand.push_back(total - validateTime);
      fs::remove(copy);

      sandbox.ReplaceTool("gbak", kOldGbak);
      GbakSteps oldSteps;
      oldProgram.push_back(repair(oldSteps));
      sandbox.ReplaceTool("gbak", kCurrentGbak);

      std::printf(
          "round %d: repair %.2f s (gbak backup %.2f s, restore %.2f s); by hand %.2f s (copy "
          "%.2f, mend %.2f, check %.2f, gbak backup %.2f s, restore %.2f s, replace %.2f), "
          "validation of the restored file %.2f s; old command lines %.2f s (gbak backup %.2f s, "
          "restore %.2f s)\n",
          round, program.back(), steps.backup, steps.restore, byHand.back(), copyTime, mendTime,
          checkTime, backupTime, restoreTime, replaceTime, validateTime, oldProgram.back(),
          oldSteps.backup, oldSteps.restore);
    }
    // The machine is shared: the fastest round of each is the least disturbed one.
    std::printf(
        "fastest: repair %.2f s, by hand %.2f s, by hand with validation %.2f s, "
        "old command lines %.2f s\n",
        Fastest(program), Fastest(byHand), Fastest(byHandChecked), Fastest(oldProgram));
    const double p = Median(program), h = Median(byHand), hv = Median(byHandChecked),
                 o = Median(oldProgram);
    std::printf(
        "median: repair %.2f s, by hand %.2f s, ratio %.3f, limit %.2f s (1.05x + 0.5 s): %s\n", p,
        h, p / h, 1.05 * h + 0.5, p <= 1.05 * h + 0.5 ? "within" : "OVER");
    std::printf("median: by hand with validation of the restored file %.2f s, limit %.2f s\n", hv,
                1.05 * hv + 0.5);
    std::printf(
        "median: old command lines %.2f s, repair %.2f s, speed-up %.2f (target >= 3): %s\n", o, p,
        o / p, o >= 3 * p ? "met" : "MISSED");
    fs::remove(master);
    fs::remove(db);
    fs::remove(copy);
  } catch (const std::exception& e) {
    std::cerr << "repair_bench: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
