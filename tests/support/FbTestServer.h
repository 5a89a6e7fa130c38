// The private test server started by tools/fbserver (the CTest fixture "firebird"), found
// through $VELMAR_FB_DIR.
#pragma once

#include <optional>
#include <string>

namespace testsupport {

struct FbTestServer {
  std::string dir;  // the server's folder
  int port = 0;
  std::string password;  // SYSDBA's

  // The server named by $VELMAR_FB_DIR when it is running; nullopt otherwise.
  static std::optional<FbTestServer> FromEnvironment();

  // "127.0.0.1/<port>:<path>", the form every tool and the client library accept, with the
  // path as the server sees it (a drive path of the Windows build becomes its host path).
  std::string Address(const std::string& databasePath) const;
  // A folder the server may read and write, for the tests' database files.
  std::string DatabasesDir() const { return dir + "/databases"; }
};

// A fresh, empty folder under the server's databases folder: `name`, a dash and the process
// id. Folders of earlier runs with the same name are removed.
std::string FreshTestFolder(const std::string& name);

}  // namespace testsupport
