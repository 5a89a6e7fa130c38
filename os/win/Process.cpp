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
  // The system runs a batch file named as the command line through its command interpreter.
  // A path with a space must be quoted, or the first word would be taken for the program.
  std::wstring commandLine = win::ToWide(scriptPath);
  if (commandLine.find(L' ') != std::wstring::npos)
    commandLine = L"\"" + commandLine + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
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
