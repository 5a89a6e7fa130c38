// The same tree as on Windows, under one root that tests may move with $KORA_ROOT.
#include <optional>

#include "os/Environment.h"
#include "server/FixedPaths.h"

namespace paths {

std::string KoraRoot() {
  std::optional<std::string> root = os::GetEnv("KORA_ROOT");
  if (!root || root->empty())
    return "/opt/kora";
  while (root->size() > 1 && root->back() == '/')
    root->pop_back();
  return *root;
}

namespace {
std::string Under(const char* relative) {
  return KoraRoot() + "/" + relative;
}
}  // namespace

std::string DefaultDatabase() {
  return Under("DB/VELMAR.FDB");
}
std::string FirebirdDirectory() {
  return Under("FIREBIRD");
}
std::string Gfix() {
  return Under("FIREBIRD/bin/gfix");
}
std::string Gbak() {
  return Under("FIREBIRD/bin/gbak");
}
std::string ServerLog() {
  return Under("FIREBIRD/firebird.log");
}
std::string SessionLogFile() {
  return Under("LogFiles/VelmarDBRepair.log");
}
std::string WorkDirectory() {
  return Under("TEMP/DBRepair/");
}
std::string ToolLog() {
  return Under("TEMP/DBRepair/FireBirdFixLog.log");
}
std::string SafetyCopyFolder() {
  return Under("Backup/FireBirdBase");
}
std::string SuiteLibrary() {
  return Under(SuiteLibraryFileName().c_str());
}
std::string SuiteLibraryFileName() {
  return "libfbUtils.so";
}

}  // namespace paths
