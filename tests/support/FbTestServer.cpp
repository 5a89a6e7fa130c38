#include "tests/support/FbTestServer.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tests/support/HostPaths.h"
#include "tests/support/HostShell.h"

namespace testsupport {

namespace {

std::optional<std::string> ReadFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line))
    return std::nullopt;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  return line;
}

}  // namespace

std::optional<FbTestServer> FbTestServer::FromEnvironment() {
  const char* dir = std::getenv("VELMAR_FB_DIR");
  if (!dir || !*dir)
    return std::nullopt;
  // The folder is the host's; under Wine its files are read through drive Z:.
  auto port = ReadFirstLine(LocalPath(std::string(dir) + "/port"));
  auto password = ReadFirstLine(LocalPath(std::string(dir) + "/password"));
  if (!port || !password || !std::filesystem::exists(LocalPath(std::string(dir) + "/pid"))) {
    return std::nullopt;
  }
  FbTestServer server;
  server.dir = dir;
  server.port = std::stoi(*port);
  server.password = *password;
  return server;
}

std::string FbTestServer::Address(const std::string& databasePath) const {
  return "127.0.0.1/" + std::to_string(port) + ":" + HostPath(databasePath);
}

std::string FreshTestFolder(const std::string& name) {
  auto server = FbTestServer::FromEnvironment();
  if (!server)
    throw std::runtime_error("the private Firebird server is not running");
  // Earlier runs' folders go, but the new one gets a name of its own: the server may still
  // hold files of an earlier run open (a backup runs on after its client detached), and a
  // new database under an old name would then be "in use".
  const std::string prefix = name + "-";
  for (const auto& entry : std::filesystem::directory_iterator(server->DatabasesDir())) {
    if (entry.path().filename().string().rfind(prefix, 0) == 0) {
      std::error_code ignored;
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }
  std::filesystem::path folder =
      std::filesystem::path(server->DatabasesDir()) / (prefix + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  return folder.string();
}

}  // namespace testsupport
