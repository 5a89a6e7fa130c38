// The suite's own fixed paths on Windows.
#include "server/FixedPaths.h"

namespace paths {

std::string KoraRoot() {
  return "C:\\KORA";
}
std::string DefaultDatabase() {
  return "C:\\KORA\\DB\\VELMAR.FDB";
}
std::string FirebirdDirectory() {
  return "C:\\KORA\\FIREBIRD";
}
std::string Gfix() {
  return "C:\\KORA\\FIREBIRD\\bin\\gfix.exe";
}
std::string Gbak() {
  return "C:\\KORA\\FIREBIRD\\bin\\gbak.exe";
}
std::string ServerLog() {
  return "C:\\KORA\\FIREBIRD\\firebird.log";
}
std::string SessionLogFile() {
  return "C:\\KORA\\LogFiles\\VelmarDBRepair.log";
}
std::string WorkDirectory() {
  return "C:\\KORA\\TEMP\\DBRepair\\";
}
std::string ToolLog() {
  return "C:\\KORA\\TEMP\\DBRepair\\FireBirdFixLog.log";
}
std::string SafetyCopyFolder() {
  return "C:\\Kora\\Backup\\FireBirdBase";
}
std::string SuiteLibrary() {
  return "C:\\KORA\\fbUtils.dll";
}
std::string SuiteLibraryFileName() {
  return "fbUtils.dll";
}

}  // namespace paths
