// One test's world against the private server: a fresh KORA_ROOT with the server's real gfix
// and gbak, the suite library stand-in answering the server's password and port, and the
// program's units started with the session log published (see ProgramUnits).
#pragma once

#include <string>

#include "tests/support/FbTestServer.h"
#include "tests/support/KoraSandbox.h"
#include "tests/support/ProgramUnits.h"

namespace testsupport {

class FirebirdSandbox {
 public:
  // `name` names the sandbox's folders under the server's databases folder.
  FirebirdSandbox(const FbTestServer& server, const std::string& name);
  FirebirdSandbox(const FirebirdSandbox&) = delete;
  FirebirdSandbox& operator=(const FirebirdSandbox&) = delete;

  const std::string& Root() const { return kora_.Root(); }
  // A folder for this test's database files (the server reads and writes it).
  const std::string& DataDir() const { return dataDir_; }

 private:
  std::string dataDir_;
  KoraSandbox kora_;
  ProgramUnits units_;
};

// Waits until no process but this one has `text` on its command line, and, when `program`
// is not empty, runs a program whose path contains it (a cancel leaves the tool, or the
// script standing in for it, running to its own end); false on time-out.
bool WaitForProcessesNaming(const std::string& text, const std::string& program, int timeoutMs);

}  // namespace testsupport
