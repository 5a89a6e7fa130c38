// One repair test's world (see FirebirdSandbox): the database to repair is VELMAR.FDB in a
// folder of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/repair/LogRecords.h"
#include "tests/support/FbTestServer.h"
#include "tests/support/FirebirdSandbox.h"

namespace repairtest {

class RepairSandbox : public testsupport::FirebirdSandbox {
 public:
  using FirebirdSandbox::FirebirdSandbox;
  ~RepairSandbox();

  std::string Database() const { return DataDir() + "/VELMAR.FDB"; }
  // Where the default save dialog answer puts the safety copy.
  std::string DefaultSafetyCopy() const;

  // Replaces the named tool (gfix or gbak) with a shell script; "" removes the tool.
  void ReplaceTool(const std::string& tool, const std::string& script);

  // Texts of the session log's records from its start, further lines joined with "\r\n".
  std::vector<std::string> Records() const;

  // Files set immutable with Protect(), or named to ClearProtectionAtEnd(), lose the flag
  // when the sandbox ends.
  void Protect(const std::string& path);
  void ClearProtectionAtEnd(const std::string& path) { protected_.push_back(path); }

 private:
  std::vector<std::string> protected_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);

// chattr +i / -i; false when the file system or the kernel refuses.
bool SetImmutable(const std::string& path, bool on);
// Whether this file system lets root make a file undeletable.
bool ImmutableSupported(const std::string& dir, std::string* why);

// Waits until no tool (or script standing in for one) started for `path` runs any more: a
// cancel leaves the tool running to its own end.
inline bool WaitForToolsOn(const std::string& path, int timeoutMs) {
  return testsupport::WaitForProcessesNaming(path, "", timeoutMs);
}

}  // namespace repairtest
