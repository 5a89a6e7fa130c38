#include "tests/check/CheckSandbox.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "log/SessionLog.h"
#include "progress/ProgressViewer.h"
#include "server/FBUtils.h"
#include "server/FixedPaths.h"
#include "tests/support/TestDatabase.h"

namespace fs = std::filesystem;

namespace checktest {

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out)
    throw std::runtime_error("cannot write " + path);
}

std::string RequiredEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0')
    throw std::runtime_error(std::string(name) + " not set");
  return value;
}

}  // namespace

CheckSandbox::CheckSandbox(const testsupport::FbTestServer& server, const std::string& name) {
  root_ = testsupport::FreshTestFolder(name + "-kora");
  dataDir_ = testsupport::FreshTestFolder(name + "-data");

  fs::create_directories(root_ + "/FIREBIRD/bin");
  fs::create_directories(root_ + "/LogFiles");
  fs::create_symlink("/usr/bin/gfix", root_ + "/FIREBIRD/bin/gfix");
  fs::create_symlink("/usr/bin/gbak", root_ + "/FIREBIRD/bin/gbak");
  // The stand-in reads fbUtils.ini beside itself, so it is copied, not linked.
  fs::copy_file(RequiredEnv("VELMAR_BIN_DIR") + "/libfbUtils.so", root_ + "/libfbUtils.so");
  WriteText(root_ + "/fbUtils.ini", "[Common]\nPassword=" + server.password +
                                        "\nPort=" + std::to_string(server.port) + "\n");

  if (const char* old = std::getenv("KORA_ROOT")) {
    oldRoot_ = old;
    hadOldRoot_ = true;
  }
  setenv("KORA_ROOT", root_.c_str(), 1);
  // The server's tools need a UTF-8 locale for non-ASCII paths.
  setenv("LANG", "C.UTF-8", 1);
  setenv("LC_ALL", "C.UTF-8", 1);

  // The program's start-up order: binding, log unit, progress unit, then the session log.
  if (!FBUtilsInitialize())
    throw std::runtime_error("the suite library stand-in did not load");
  HuxLoggerUnitInitialize();
  ProgressViewerUnitInitialize();
  log_ = std::make_unique<THuxLogger>(paths::SessionLogFile());
  PublishSessionLog(log_.get());
}

CheckSandbox::~CheckSandbox() {
  SetViewerCycleHook(nullptr);
  PublishSessionLog(nullptr);
  log_.reset();
  WaitForViewerThreads(5000);
  ProgressViewerUnitFinalize();
  HuxLoggerUnitFinalize();
  FBUtilsFinalize();
  if (hadOldRoot_) {
    setenv("KORA_ROOT", oldRoot_.c_str(), 1);
  } else {
    unsetenv("KORA_ROOT");
  }
}

std::vector<LogRecord> CheckSandbox::Records() const {
  return ReadSessionLogRecords();
}

std::vector<std::string> CheckSandbox::RecordTexts() const {
  std::vector<std::string> texts;
  for (const LogRecord& record : Records())
    texts.push_back(record.text);
  return texts;
}

std::string TemplateDatabase(const testsupport::FbTestServer& server, const std::string& name,
                             int rows, bool blobs) {
  const std::string dir = server.DatabasesDir() + "/check-templates";
  const std::string path = dir + "/" + name + ".fdb";
  if (fs::exists(path))
    return path;
  fs::create_directories(dir);
  // Made under another name first: a run stopped half-way must not leave a broken template.
  const std::string partial = dir + "/" + name + ".partial-" + std::to_string(getpid());
  fs::remove(partial);
  testsupport::CreateTestDatabase(server, partial, rows, blobs);
  fs::rename(partial, path);
  return path;
}

void CopyDatabase(const std::string& from, const std::string& path) {
  fs::copy_file(from, path, fs::copy_options::overwrite_existing);
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::group_write | fs::perms::others_read |
                            fs::perms::others_write);
}

std::vector<std::string> FilesEndingWith(const std::string& dir, const std::string& suffix) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.size() >= suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
      found.push_back(name);
    }
  }
  return found;
}

namespace {

bool GfixRunsOn(const std::string& databasePath) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos)
      continue;
    std::error_code ignored;
    const std::string exe = fs::read_symlink(entry.path() / "exe", ignored).string();
    if (exe.find("gfix") == std::string::npos)
      continue;
    if (ReadText(entry.path().string() + "/cmdline").find(databasePath) != std::string::npos) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool WaitForGfixToEnd(const std::string& databasePath, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (GfixRunsOn(databasePath)) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace checktest
