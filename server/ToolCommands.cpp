#include "server/ToolCommands.h"

#include "server/ToolQuoting.h"

namespace {

using toolquoting::Quoted;

const char* const kServerHost = "127.0.0.1";
const char* const kUser = "SYSDBA";

std::string ServerAndFile(const ToolLogin& login, const std::string& database) {
  return Quoted(std::string(kServerHost) + "/" + std::to_string(login.port) + ":" + database);
}

// The server itself reads and writes the files of a backup or restore (its service manager
// runs gbak inside the server process), so they travel neither through the network protocol
// nor through this program. The paths are the server's own, given bare: with the server's
// address in front, the service refuses them ("unavailable database").
std::string ServiceManager(const ToolLogin& login) {
  return "-se " +
         Quoted(std::string(kServerHost) + "/" + std::to_string(login.port) + ":service_mgr");
}

std::string ToLog(const std::string& toolLog) {
  return " > " + Quoted(toolLog) + " 2>&1";
}

}  // namespace

os::EnvironmentVariables LoginEnvironment(const ToolLogin& login) {
  return {{"ISC_USER", kUser}, {"ISC_PASSWORD", login.password}};
}

std::string ValidationCommand(const std::string& gfix, const ToolLogin& login,
                              const std::string& database, const std::string& toolLog) {
  return Quoted(gfix) + " -v -full " + ServerAndFile(login, database) + ToLog(toolLog);
}

std::string MendCommand(const std::string& gfix, const ToolLogin& login,
                        const std::string& database, const std::string& toolLog) {
  return Quoted(gfix) + " -mend " + ServerAndFile(login, database) + ToLog(toolLog);
}

std::string BackupCommand(const std::string& gbak, const ToolLogin& login,
                          const std::string& database, const std::string& backupFile,
                          const std::string& toolLog, const std::string& skipDataPattern) {
  const std::string skipData =
      skipDataPattern.empty() ? "" : "-skip_data " + Quoted(skipDataPattern) + " ";
  return Quoted(gbak) + " -b -v -ig -g " + skipData + ServiceManager(login) + " " +
         Quoted(database) + " " + Quoted(backupFile) + ToLog(toolLog);
}

std::string RestoreCommand(const std::string& gbak, const ToolLogin& login,
                           const std::string& backupFile, const std::string& restoredFile,
                           const std::string& toolLog) {
  return Quoted(gbak) + " -c -v " + ServiceManager(login) + " " + Quoted(backupFile) + " " +
         Quoted(restoredFile) + ToLog(toolLog);
}
