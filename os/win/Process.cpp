#include "os/Process.h"

#include "os/Exception.h"
#include "os/SystemError.h"
#include "os/win/Wide.h"

namespace os {

namespace {

class WinProcess : public Process {
 public:
  WinProcess(HANDLE process, DWORD id) : process_(process), id_(id) {}
  // Closing the handle leaves the process running.
  ~WinProcess() override { CloseHandle(process_); }

  bool Wait(std::uint32_t timeoutMs) override {
    const DWORD result = WaitForSingleObject(process_, timeoutMs);
    if (result == WAIT_OBJECT_0)
      return true;
    if (result == WAIT_TIMEOUT)
      return false;
    // WAIT_FAILED: taking it for "still running" would spin without ever sleeping.
    throw Exception("Ошибка при ожидании завершения процесса: " + LastErrorText());
  }

  std::uint32_t Id() const override { return id_; }

 private:
  HANDLE process_;
  DWORD id_;
};

}  // namespace

std::unique_ptr<Process> Process::StartHiddenScript(const std::string& scriptPath) {
  // The interpreter would start for a missing script too and only complain in its console:
  // such a script is a failure to start, as when the system ran the script itself.
  const std::wstring script = win::ToWide(scriptPath);
  if (GetFileAttributesW(script.c_str()) == INVALID_FILE_ATTRIBUTES)
    return nullptr;
  // The interpreter is named, not left to the system: /d skips the AutoRun commands of the
  // registry and /v:off delayed expansion, so that a "!" in the script stays itself; /s takes
  // off only the outer pair of quotes, so a path with spaces stays one quoted word.
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return nullptr;
  const std::wstring interpreter = std::wstring(system, length) + L"\\cmd.exe";
  std::wstring commandLine = L"\"" + interpreter + L"\" /d /v:off /s /c \"\"" + script + L"\"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started{};
  // No console window at all: where a terminal program hosts consoles, SW_HIDE alone can still
  // show one, with the command line and a close button that would end the tool.
  if (!CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                      &started))
    return nullptr;
  CloseHandle(started.hThread);
  return std::make_unique<WinProcess>(started.hProcess, started.dwProcessId);
}

std::uint32_t CurrentProcessId() {
  return GetCurrentProcessId();
}

std::uint32_t CurrentThreadId() {
  return GetCurrentThreadId();
}

}  // namespace os
