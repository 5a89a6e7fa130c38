// One test's world for the check: a fresh KORA_ROOT with the server's real gfix and gbak, the
// suite library stand-in answering the private server's password and port, the session log
// published as the program publishes it, and the progress and binding units started.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "log/HuxLogger.h"
#include "tests/check/LogRecords.h"
#include "tests/support/FbTestServer.h"

namespace checktest {

class CheckSandbox {
 public:
  // `name` names the sandbox's folders under the server's databases folder.
  CheckSandbox(const testsupport::FbTestServer& server, const std::string& name);
  ~CheckSandbox();
  CheckSandbox(const CheckSandbox&) = delete;
  CheckSandbox& operator=(const CheckSandbox&) = delete;

  const std::string& Root() const { return root_; }
  // A folder for this test's database files (the server reads and writes it).
  const std::string& DataDir() const { return dataDir_; }

  // The session log's records from its start.
  std::vector<LogRecord> Records() const;
  // The texts of the records alone.
  std::vector<std::string> RecordTexts() const;

 private:
  std::string root_;
  std::string dataDir_;
  std::string oldRoot_;
  bool hadOldRoot_ = false;
  std::unique_ptr<THuxLogger> log_;
};

// A database with `rows` rows made once and kept in the server's databases folder, so that
// test runs after the first need not wait for it; returns its path.
std::string TemplateDatabase(const testsupport::FbTestServer& server, const std::string& name,
                             int rows, bool blobs);
// A private copy of a template database at `path`, which the server may open.
void CopyDatabase(const std::string& from, const std::string& path);

// Files in `dir` whose names end with `suffix`.
std::vector<std::string> FilesEndingWith(const std::string& dir, const std::string& suffix);

// Waits until no gfix process works on `databasePath` any more (a cancelled validation leaves
// the tool running to its end); false on time-out.
bool WaitForGfixToEnd(const std::string& databasePath, int timeoutMs);

}  // namespace checktest
