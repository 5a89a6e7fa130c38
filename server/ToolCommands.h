// The command lines of the four server tool runs, ready for RunToolBatch. Each names the
// tool by its full path, addresses the local server (gfix as "127.0.0.1/<port>:<database>",
// gbak through its service manager "127.0.0.1/<port>:service_mgr") and sends both of the tool's
// output streams into `toolLog` (gfix reports its validation summary and gbak its verbose lines
// and end markers on standard output). The login as SYSDBA travels in the tool's environment
// (LoginEnvironment), never on the command line, where every user of the machine could read
// the password in the process list and a killed run would leave it on disk in the script.
#pragma once

#include <cstdint>
#include <string>

#include "os/Process.h"
#include "server/ServerLogin.h"

using ToolLogin = ServerLogin;

// ISC_USER and ISC_PASSWORD, which gfix and gbak read when no -user/-pass is given.
os::EnvironmentVariables LoginEnvironment(const ToolLogin& login);

// gfix -v -full
std::string ValidationCommand(const std::string& gfix, const ToolLogin& login,
                              const std::string& database, const std::string& toolLog);
// gfix -mend
std::string MendCommand(const std::string& gfix, const ToolLogin& login,
                        const std::string& database, const std::string& toolLog);
// gbak -b -v -ig -g -se, the database into `backupFile`, both written by the server; with
// `skipDataPattern`, also -skip_data and the pattern (the rows of the matching tables are left
// out)
std::string BackupCommand(const std::string& gbak, const ToolLogin& login,
                          const std::string& database, const std::string& backupFile,
                          const std::string& toolLog, const std::string& skipDataPattern = {});
// gbak -c -v -se, `backupFile` into the new database `restoredFile`, both by the server
std::string RestoreCommand(const std::string& gbak, const ToolLogin& login,
                           const std::string& backupFile, const std::string& restoredFile,
                           const std::string& toolLog);
