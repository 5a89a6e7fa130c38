#include "tests/support/FirebirdSandbox.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "server/FixedPaths.h"

namespace fs = std::filesystem;

namespace testsupport {

FirebirdSandbox::FirebirdSandbox(const FbTestServer& server, const std::string& name)
    : dataDir_(FreshTestFolder(name + "-data")), kora_(FreshTestFolder(name + "-kora")) {
  fs::create_directories(Root() + "/LogFiles");
  kora_.InstallProgram("/usr/bin/gfix", paths::Gfix());
  kora_.InstallProgram("/usr/bin/gbak", paths::Gbak());
  // The stand-in reads fbUtils.ini beside itself, so it is copied, not linked.
  kora_.InstallSuiteLibrary(BuiltSuiteLibrary(), SuiteLibraryIni(server.password, server.port));
  // The server's tools need a UTF-8 locale for non-ASCII paths.
  setenv("LANG", "C.UTF-8", 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  if (!units_.Start())
    throw std::runtime_error("the suite library stand-in did not load");
}

namespace {

std::string CommandLineOf(const fs::path& process) {
  std::ifstream in(process / "cmdline", std::ios::binary);
  std::ostringstream cmdline;
  cmdline << in.rdbuf();
  return cmdline.str();
}

bool ProcessNaming(const std::string& text, const std::string& program) {
  const std::string self = std::to_string(getpid());
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
      continue;
    if (!program.empty()) {
      std::error_code ignored;
      if (fs::read_symlink(entry.path() / "exe", ignored).string().find(program) ==
          std::string::npos)
        continue;
    }
    if (CommandLineOf(entry.path()).find(text) != std::string::npos)
      return true;
  }
  return false;
}

}  // namespace

bool WaitForProcessesNaming(const std::string& text, const std::string& program, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (ProcessNaming(text, program)) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace testsupport
