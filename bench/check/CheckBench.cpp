// How much the check costs over its three server steps run by hand: gfix -v -full with both
// streams redirected, a backup through the service manager with gbak -se, and the restore of
// that backup the same way (gbak -c -se) into a scratch file. All run on one
// database of about 300 MB, made once and kept under the build folder (the check's tests use
// the same one).
//
//   check_bench [runs]      (the private server is started in <build>/fbserver if needed)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "check/CheckWorkflow.h"
#include "server/FbOnlineValidation.h"
#include "tests/check/CheckSandbox.h"
#include "tests/support/FbTestServer.h"
#include "tests/support/ToolRun.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRows = 100000;  // about 300 MB with blobs

// The operator who agrees to everything.
class AgreeingOperator : public OperatorDialogs {
 public:
  DialogResult ShowMessage(const std::string& caption, const std::string&, DialogButtons buttons,
                           DialogIcon, int) override {
    captions.push_back(caption);
    shownAt.push_back(std::chrono::steady_clock::now());
    return buttons == DialogButtons::YesNo ? DialogResult::Yes : DialogResult::Ok;
  }
  std::optional<std::string> ShowSaveDialog(const SaveDialogSettings&) override {
    return std::nullopt;
  }
  void ShowError(const std::string& message) override { errors.push_back(message); }

  std::vector<std::string> captions;
  std::vector<std::chrono::steady_clock::time_point> shownAt;
  std::vector<std::string> errors;
};

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Seconds of a whole run and of its steps (the check's backup includes its restore).
struct Timing {
  double total = 0;
  double validation = 0;
  double backup = 0;
  double restore = 0;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

testsupport::FbTestServer StartServer() {
  const std::string dir = VELMAR_BUILD_DIR "/fbserver";
  if (!std::getenv("VELMAR_FB_DIR"))
    setenv("VELMAR_FB_DIR", dir.c_str(), 1);
  if (!std::getenv("VELMAR_BIN_DIR"))
    setenv("VELMAR_BIN_DIR", VELMAR_BUILD_DIR "/bin", 1);
  auto server = testsupport::FbTestServer::FromEnvironment();
  if (!server) {
    const std::string start = VELMAR_SOURCE_DIR "/tools/fbserver start " + dir;
    if (std::system(start.c_str()) != 0)
      throw std::runtime_error("cannot start the server");
    server = testsupport::FbTestServer::FromEnvironment();
  }
  if (!server)
    throw std::runtime_error("no server in " + dir);
  return *server;
}

// gfix and a service backup, as an administrator would type them.
Timing RunByHand(const testsupport::FbTestServer& server, const std::string& db,
                 const std::string& scratch) {
  const std::string gfixOut = scratch + "/gfix.out";
  const std::string backup = scratch + "/hand.fbk";
  const std::string gfix = testsupport::GfixPath() + " -v -full \"" + server.Address(db) +
                           "\" -user SYSDBA -pass " + server.password + " >\"" + gfixOut +
                           "\" 2>&1";
  const std::string gbak = testsupport::GbakPath() + " -b -v -se 127.0.0.1/" +
                           std::to_string(server.port) + ":service_mgr \"" + db + "\" \"" + backup +
                           "\" -user SYSDBA -pass " + server.password + " >/dev/null 2>&1";
  const std::string restored = scratch + "/hand-restored.fdb";
  const std::string restore = testsupport::GbakPath() + " -c -v -se 127.0.0.1/" +
                              std::to_string(server.port) + ":service_mgr \"" + backup + "\" \"" +
                              restored + "\" -user SYSDBA -pass " + server.password +
                              " >/dev/null 2>&1";
  fs::remove(restored);
  const auto start = std::chrono::steady_clock::now();
  const int gfixStatus = std::system(gfix.c_str());
  const auto validated = std::chrono::steady_clock::now();
  const int gbakStatus = std::system(gbak.c_str());
  const auto backedUp = std::chrono::steady_clock::now();
  const int restoreStatus = std::system(restore.c_str());
  const auto end = std::chrono::steady_clock::now();
  fs::remove(backup);
  fs::remove(restored);
  if (gfixStatus != 0 || gbakStatus != 0 || restoreStatus != 0)
    throw std::runtime_error("a step by hand failed");
  return {Seconds(end - start), Seconds(validated - start), Seconds(backedUp - validated),
          Seconds(end - backedUp)};
}

Timing RunCheck(const std::string& db) {
  AgreeingOperator dialogs;
  WorkflowContext context{dialogs, [db] { return db; }};
  const auto start = std::chrono::steady_clock::now();
  CheckDatabase(context);
  const auto end = std::chrono::steady_clock::now();
  if (dialogs.captions.size() != 2 || dialogs.captions[1] != "Информация") {
    throw std::runtime_error("the check did not end with a clean trial backup");
  }
  // The question box follows the validation; the final box the backup, its restore and the
  // deletion of both.
  return {Seconds(end - start), Seconds(dialogs.shownAt[0] - start),
          Seconds(dialogs.shownAt[1] - dialogs.shownAt[0])};
}

// The table by table validation a check runs while the shop works, on the same file.
double RunOnlineValidationOnce(const testsupport::FbTestServer& server, const std::string& db) {
  OnlineValidationRequest request;
  request.login = {server.port, server.password};
  request.databaseFile = db;
  const auto start = std::chrono::steady_clock::now();
  const OnlineValidationOutput output = RunOnlineValidation(request, [](const std::string&) {});
  const double seconds = Seconds(std::chrono::steady_clock::now() - start);
  for (const TableVerdict& table : output.Tables())
    if (table.state != TableState::Ok)
      throw std::runtime_error("the online validation found fault with " + table.name);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const testsupport::FbTestServer server = StartServer();
    setenv("LANG", "C.UTF-8", 1);
    setenv("LC_ALL", "C.UTF-8", 1);

    std::cout << "Preparing the database (made once, then kept)..." << std::endl;
    const std::string db = checktest::TemplateDatabase(server, "check-large", kRows, true);
    std::cout << "Database: " << db << ", " << fs::file_size(db) / (1024 * 1024) << " MB"
              << std::endl;

    checktest::CheckSandbox sandbox(server, "bench-check");
    RunByHand(server, db, sandbox.DataDir());  // warms the page cache for both

    std::vector<double> hand;
    std::vector<double> check;
    std::vector<double> fullValidation;
    std::vector<double> online;
    for (int i = 0; i < runs; ++i) {
      const Timing byHand = RunByHand(server, db, sandbox.DataDir());
      const Timing checked = RunCheck(db);
      hand.push_back(byHand.total);
      check.push_back(checked.total);
      fullValidation.push_back(checked.validation);
      online.push_back(RunOnlineValidationOnce(server, db));
      std::printf(
          "run %d: by hand %.3f s (gfix %.3f + backup %.3f + restore %.3f), check %.3f s "
          "(validation %.3f + backup and restore %.3f)\n",
          i + 1, byHand.total, byHand.validation, byHand.backup, byHand.restore, checked.total,
          checked.validation, checked.backup);
    }
    const double h = Median(hand);
    const double c = Median(check);
    const double limit = 1.05 * h + 0.3;
    std::printf("median: by hand %.3f s, check %.3f s, ratio %.3fx, overhead %+.3f s\n", h, c,
                c / h, c - h);
    std::printf("fastest: by hand %.3f s, check %.3f s, ratio %.3fx\n",
                *std::min_element(hand.begin(), hand.end()),
                *std::min_element(check.begin(), check.end()),
                *std::min_element(check.begin(), check.end()) /
                    *std::min_element(hand.begin(), hand.end()));
    std::printf("median: full validation %.3f s, online validation %.3f s (table by table)\n",
                Median(fullValidation), Median(online));
    std::printf("target: check <= 1.05 x by hand + 0.3 s = %.3f s: %s\n", limit,
                c <= limit ? "met" : "MISSED");
    return c <= limit ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "check_bench: " << e.what() << std::endl;
    return 2;
  }
}
