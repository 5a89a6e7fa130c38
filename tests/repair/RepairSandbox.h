// One repair test's world: a fresh KORA_ROOT with the server's real gfix and gbak, the suite
// library stand-in answering the private server's password and port, the session log
// published as the program publishes it, and the binding, log and progress units started in
// the program's order. The database to repair is DATA/VELMAR.FDB in a folder of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "log/HuxLogger.h"
#include "tests/repair/LogRecords.h"
#include "tests/support/FbTestServer.h"

namespace repairtest {

class RepairSandbox {
 public:
  RepairSandbox(const testsupport::FbTestServer& server, const std::string& name);
  ~RepairSandbox();
  RepairSandbox(const RepairSandbox&) = delete;
  RepairSandbox& operator=(const RepairSandbox&) = delete;

  const std::string& Root() const { return root_; }
  const std::string& DataDir() const { return dataDir_; }
  std::string Database() const { return dataDir_ + "/VELMAR.FDB"; }
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
  std::string root_;
  std::string dataDir_;
  std::vector<std::string> protected_;
  std::unique_ptr<THuxLogger> log_;
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
bool WaitForToolsOn(const std::string& path, int timeoutMs);

}  // namespace repairtest
