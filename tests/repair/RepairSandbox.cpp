#include "tests/repair/RepairSandbox.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "server/FixedPaths.h"
#include "tests/support/ToolRun.h"

namespace fs = std::filesystem;

namespace repairtest {

RepairSandbox::~RepairSandbox() {
  for (const std::string& path : protected_)
    SetImmutable(path, false);
}

std::string RepairSandbox::DefaultSafetyCopy() const {
  return paths::SafetyCopyFolder() + "/VELMAR_BACKUP.FDB";
}

void RepairSandbox::ReplaceTool(const std::string& tool, const std::string& script) {
  const std::string path = Root() + "/FIREBIRD/bin/" + tool;
  fs::remove(path);
  if (script.empty())
    return;
  WriteBytes(path, "#!/bin/sh\n" + script);
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

std::vector<std::string> RepairSandbox::Records() const {
  return testsupport::TextsOf(testsupport::ReadSessionLogRecords("\r\n"));
}

void RepairSandbox::Protect(const std::string& path) {
  if (SetImmutable(path, true))
    protected_.push_back(path);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out)
    throw std::runtime_error("cannot write " + path);
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

bool SetImmutable(const std::string& path, bool on) {
  return testsupport::RunTool("chattr", {on ? "+i" : "-i", path}).exitCode == 0;
}

bool ImmutableSupported(const std::string& dir, std::string* why) {
  const std::string probe = dir + "/immutable-probe";
  WriteBytes(probe, "probe");
  bool supported = false;
  if (!SetImmutable(probe, true)) {
    *why = "chattr +i is refused here";
  } else {
    const testsupport::ToolResult listed = testsupport::RunTool("lsattr", {probe});
    std::error_code error;
    fs::remove(probe, error);
    supported = listed.out.find('i') < listed.out.find(' ') && error;
    if (!supported)
      *why = "an immutable file can still be deleted here: " + listed.out;
    SetImmutable(probe, false);
  }
  std::error_code ignored;
  fs::remove(probe, ignored);
  return supported;
}

}  // namespace repairtest
