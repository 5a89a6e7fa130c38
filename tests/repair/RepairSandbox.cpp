#include "tests/repair/RepairSandbox.h"

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
#include "tests/support/ToolRun.h"

namespace fs = std::filesystem;

namespace repairtest {

namespace {

std::string RequiredEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0')
    throw std::runtime_error(std::string(name) + " not set");
  return value;
}

}  // namespace

RepairSandbox::RepairSandbox(const testsupport::FbTestServer& server, const std::string& name) {
  root_ = testsupport::FreshTestFolder(name + "-kora");
  dataDir_ = testsupport::FreshTestFolder(name + "-data");
  fs::create_directories(root_ + "/FIREBIRD/bin");
  fs::create_directories(root_ + "/LogFiles");
  fs::create_symlink("/usr/bin/gfix", root_ + "/FIREBIRD/bin/gfix");
  fs::create_symlink("/usr/bin/gbak", root_ + "/FIREBIRD/bin/gbak");
  // The stand-in reads fbUtils.ini beside itself, so it is copied, not linked.
  fs::copy_file(RequiredEnv("VELMAR_BIN_DIR") + "/libfbUtils.so", root_ + "/libfbUtils.so");
  WriteBytes(root_ + "/fbUtils.ini", "[Common]\nPassword=" + server.password +
                                         "\nPort=" + std::to_string(server.port) + "\n");
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

RepairSandbox::~RepairSandbox() {
  SetViewerCycleHook(nullptr);
  PublishSessionLog(nullptr);
  log_.reset();
  WaitForViewerThreads(5000);
  ProgressViewerUnitFinalize();
  HuxLoggerUnitFinalize();
  FBUtilsFinalize();
  for (const std::string& path : protected_)
    SetImmutable(path, false);
  unsetenv("KORA_ROOT");
}

std::string RepairSandbox::DefaultSafetyCopy() const {
  return paths::SafetyCopyFolder() + "/VELMAR_BACKUP.FDB";
}

void RepairSandbox::ReplaceTool(const std::string& tool, const std::string& script) {
  const std::string path = root_ + "/FIREBIRD/bin/" + tool;
  fs::remove(path);
  if (script.empty())
    return;
  WriteBytes(path, "#!/bin/sh\n" + script);
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

std::vector<std::string> RepairSandbox::Records() const {
  return ParseRecords(ReadBytes(paths::SessionLogFile()));
}

void RepairSandbox::Protect(const std::string& path) {
  if (SetImmutable(path, true))
    protected_.push_back(path);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out)
    throw std::runtime_error("cannot write " + path);
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

bool SetImmutable(const std::string& path, bool on) {
  return testsupport::RunTool("chattr", {on ? "+i" : "-i", path}).exitCode == 0;
}

bool ImmutableSupported(const std::string& dir, std::string* why) {
  const std::string probe = dir + "/immutable-probe";
  WriteBytes(probe, "probe");
  bool supported = false;
  if (!SetImmutable(probe, true)) {
    *why = "chattr +i is refused here";
  } else {
    const testsupport::ToolResult listed = testsupport::RunTool("lsattr", {probe});
    std::error_code error;
    fs::remove(probe, error);
    supported = listed.out.find('i') < listed.out.find(' ') && error;
    if (!supported)
      *why = "an immutable file can still be deleted here: " + listed.out;
    SetImmutable(probe, false);
  }
  std::error_code ignored;
  fs::remove(probe, ignored);
  return supported;
}

namespace {

// Any process but this one whose command line names `path`: the tools, and the scripts that
// stand in for them or delay them.
bool ToolRunsOn(const std::string& path) {
  const std::string self = std::to_string(getpid());
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
      continue;
    std::ifstream in(entry.path() / "cmdline", std::ios::binary);
    std::ostringstream cmdline;
    cmdline << in.rdbuf();
    if (cmdline.str().find(path) != std::string::npos)
      return true;
  }
  return false;
}

}  // namespace

bool WaitForToolsOn(const std::string& path, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (ToolRunsOn(path)) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace repairtest
