#include "tests/server/ServerTestTools.h"

#include "os/Environment.h"
#include "os/Files.h"
#include "os/Process.h"
#include "server/FixedPaths.h"
#include "server/ToolScript.h"
#include "tests/server/KoraSandbox.h"

std::string EchoToolPath() {
  return os::ProgramDirectory() + (OnWindows() ? "velmar_echo_tool.exe" : "velmar_echo_tool");
}

void ForgetEchoToolSettings() {
  for (const char* name : {"VELMAR_ECHO_SLEEP_MS", "VELMAR_ECHO_STARTED", "VELMAR_ECHO_MARKER",
                           "VELMAR_ECHO_QUIET", "VELMAR_ECHO_EXIT"})
    os::SetEnv(name, "");
}

bool RunScriptDirectly(const std::string& scriptPath, const std::string& commandLine,
                       const os::EnvironmentVariables& environment, unsigned timeoutMs) {
  WriteToolScript(scriptPath, commandLine);
  std::unique_ptr<os::Process> process = os::Process::StartHiddenScript(scriptPath, environment);
  if (!process)
    return false;
  const bool ended = process->Wait(timeoutMs);
  os::RemoveFile(scriptPath);
  return ended;
}

std::vector<std::string> FileLines(const std::string& path) {
  if (!os::FileExists(path))
    return {};
  return SplitCommandLines(os::ReadWholeFile(path));
}

std::vector<std::string> BatchFilesInWorkDirectory() {
  std::vector<std::string> names;
  for (const os::DirEntry& entry : os::FindEntries(paths::WorkDirectory() + "DBRepairBat*"))
    names.push_back(entry.name);
  return names;
}
