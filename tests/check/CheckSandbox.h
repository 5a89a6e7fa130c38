// One test's world for the check (see FirebirdSandbox), and the template databases the check's
// tests copy from.
#pragma once

#include <string>
#include <vector>

#include "tests/check/LogRecords.h"
#include "tests/support/FbTestServer.h"
#include "tests/support/FirebirdSandbox.h"

namespace checktest {

class CheckSandbox : public testsupport::FirebirdSandbox {
 public:
  using FirebirdSandbox::FirebirdSandbox;

  // The session log's records from its start.
  std::vector<LogRecord> Records() const { return ReadSessionLogRecords(); }
  // The texts of the records alone.
  std::vector<std::string> RecordTexts() const { return TextsOf(Records()); }
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
inline bool WaitForGfixToEnd(const std::string& databasePath, int timeoutMs) {
  return testsupport::WaitForProcessesNaming(databasePath, "gfix", timeoutMs);
}

}  // namespace checktest
