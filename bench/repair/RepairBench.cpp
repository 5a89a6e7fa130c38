// How much the repair costs beyond the server's tools themselves: the whole repair of a
// damaged database of about 300 MB against the same pipeline run by hand (copy, gfix -mend,
// gfix -v -full, gbak -b -v -ig -g, gbak -c -v, replace), alternating, in one run. Also times
// the restore through the network protocol against the server-side restore (gbak -se).
//
//   repair_bench [--rows N] [--rounds N] [--master FILE]
//   Needs the private server ($VELMAR_FB_DIR). --master: start from a copy of an already damaged
//   database (made once by the damage kit) instead of making and damaging one, which takes minutes.
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
#include "repair/RepairWorkflow.h"
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

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void MustRun(const std::string& tool, const std::vector<std::string>& args,
             const std::string& marker = {}) {
  const auto result = RunTool(tool, args);
  if (!marker.empty() && (result.out + result.err).find(marker) == std::string::npos)
    throw std::runtime_error(tool + " did not finish: " + result.err.substr(0, 400));
}

void Fresh(const std::string& master, const std::string& work) {
  fs::remove(work);
  fs::copy_file(master, work);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
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

    std::vector<double> program, byHand;
    for (int round = 1; round <= rounds; ++round) {
      Fresh(master, db);
      fs::remove(copy);
      BenchDialogs dialogs(copy);
      WorkflowContext context{dialogs, [&] { return db; }};
      program.push_back(Seconds([&] { RepairDatabase(context); }));
      if (!dialogs.sawSuccess)
        throw std::runtime_error("the repair did not reach the success box");

      Fresh(master, db);
      fs::remove(copy);
      double handBackup = 0, handRestore = 0;
      byHand.push_back(Seconds([&] {
        fs::copy_file(db, copy);
        MustRun(gfix, {"-mend", server->Address(db), "-user", user, "-pass", password});
        MustRun(gfix, {"-v", "-full", server->Address(db), "-user", user, "-pass", password});
        // The two gbak steps are most of the time: kept apart to compare with the session log.
        handBackup = Seconds([&] {
          MustRun(gbak,
                  {"-b", "-v", "-ig", "-g", server->Address(db), backup, "-user", user, "-pass",
                   password},
                  "gbak:closing file, committing, and finishing.");
        });
        handRestore = Seconds([&] {
          MustRun(gbak,
                  {"-c", "-v", backup, server->Address(restored), "-user", user, "-pass", password},
                  "gbak:finishing, closing, and going home");
        });
        fs::remove(db);
        fs::rename(restored, db);
        fs::remove(backup);
      }));
      fs::remove(copy);
      std::printf("round %d: repair %.2f s, by hand %.2f s (gbak backup %.2f s, restore %.2f s)\n",
                  round, program.back(), byHand.back(), handBackup, handRestore);
    }
    // The machine is shared: the fastest round of each is the least disturbed one.
    std::printf("fastest: repair %.2f s, by hand %.2f s, ratio %.3f\n",
                *std::min_element(program.begin(), program.end()),
                *std::min_element(byHand.begin(), byHand.end()),
                *std::min_element(program.begin(), program.end()) /
                    *std::min_element(byHand.begin(), byHand.end()));
    const double p = Median(program), h = Median(byHand);
    std::printf(
        "median: repair %.2f s, by hand %.2f s, ratio %.3f, limit %.2f s (1.05x + 0.5 s): %s\n", p,
        h, p / h, 1.05 * h + 0.5, p <= 1.05 * h + 0.5 ? "within" : "OVER");

    // The restore the repair makes (through the network protocol) against the server-side one,
    // from a backup of the rebuilt database (the damaged one would stop gbak).
    MustRun(
        gbak,
        {"-b", "-v", "-ig", "-g", server->Address(db), backup, "-user", user, "-pass", password},
        "gbak:closing file, committing, and finishing.");
    std::vector<double> network, serverSide;
    for (int round = 1; round <= rounds; ++round) {
      fs::remove(restored);
      network.push_back(Seconds([&] {
        MustRun(gbak,
                {"-c", "-v", backup, server->Address(restored), "-user", user, "-pass", password},
                "gbak:finishing, closing, and going home");
      }));
      fs::remove(restored);
      serverSide.push_back(Seconds([&] {
        MustRun(gbak,
                {"-c", "-v", "-se", "127.0.0.1/" + std::to_string(server->port) + ":service_mgr",
                 backup, restored, "-user", user, "-pass", password},
                "gbak:finishing, closing, and going home");
      }));
      std::printf("restore round %d: network %.2f s, server-side (-se) %.2f s\n", round,
                  network.back(), serverSide.back());
    }
    std::printf("median restore: network %.2f s, server-side %.2f s, ratio %.2f\n", Median(network),
                Median(serverSide), Median(network) / Median(serverSide));
    fs::remove(restored);
    fs::remove(backup);
    fs::remove(master);
    fs::remove(db);
    fs::remove(copy);
  } catch (const std::exception& e) {
    std::cerr << "repair_bench: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
