#include "tests/os/OsTestPlatform.h"

#include <windows.h>

#include <stdexcept>

#include "os/CodePage.h"
#include "os/File.h"
#include "os/Files.h"

namespace ostest {

std::string HelperProgram() {
  return os::ProgramDirectory() + "os_test_helper.exe";
}

std::string ScriptExtension() {
  return ".bat";
}

// Batch files are read by the command interpreter in the OEM code page, lines end in CR LF.
void WriteProgramScript(const std::string& path, const std::string& program,
                        const std::vector<std::vector<std::string>>& runs) {
  std::string content;
  for (const auto& args : runs) {
    std::string line = "\"" + program + "\"";
    for (const auto& arg : args)
      line += " \"" + arg + "\"";
    content += os::Utf8ToOem(line) + "\r\n";
  }
  auto file = os::File::Open(path, os::File::Mode::CreateExclusive);
  if (!file)
    throw std::runtime_error("cannot write " + path);
  file->Write(content.data(), content.size());
}

void KillProcess(std::uint32_t pid) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
  if (process == nullptr)
    return;
  TerminateProcess(process, 9);
  CloseHandle(process);
}

bool ProcessExists(std::uint32_t pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (process == nullptr)
    return false;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

}  // namespace ostest
