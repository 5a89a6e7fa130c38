#include "tests/os/OsTestPlatform.h"

#include <signal.h>
#include <sys/stat.h>

#include <fstream>
#include <stdexcept>

#include "os/Files.h"

namespace ostest {

namespace {

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string HelperProgram() {
  return os::ProgramDirectory() + "os_test_helper";
}

std::string ScriptExtension() {
  return ".sh";
}

void WriteProgramScript(const std::string& path, const std::string& program,
                        const std::vector<std::vector<std::string>>& runs) {
  std::ofstream script(path, std::ios::binary);
  script << "#!/bin/sh\n";
  for (const auto& args : runs) {
    script << ShellQuoted(program);
    for (const auto& arg : args)
      script << ' ' << ShellQuoted(arg);
    script << "\n";
  }
  if (!script)
    throw std::runtime_error("cannot write " + path);
}

void KillProcess(std::uint32_t pid) {
  ::kill(static_cast<pid_t>(pid), SIGKILL);
}

bool ProcessExists(std::uint32_t pid) {
  struct stat info {};
  return ::stat(("/proc/" + std::to_string(pid)).c_str(), &info) == 0;
}

}  // namespace ostest
