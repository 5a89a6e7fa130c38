#include "os/Process.h"

#include <algorithm>
#include <cwchar>
#include <vector>

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

  std::optional<int> ExitStatus() const override {
    DWORD code = 0;
    if (!GetExitCodeProcess(process_, &code) || code == STILL_ACTIVE)
      return std::nullopt;
    return static_cast<int>(code);
  }

 private:
  HANDLE process_;
  DWORD id_;
};

// This process's environment with `extra` set on top, as a block for CreateProcessW. The
// system wants the names sorted without regard to case.
std::wstring ChildEnvironment(const EnvironmentVariables& extra) {
  std::vector<std::wstring> entries;
  for (const auto& [name, value] : extra)
    entries.push_back(win::ToWide(name) + L"=" + win::ToWide(value));
  if (wchar_t* own = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = own; *entry != L'\0'; entry += wcslen(entry) + 1) {
      const std::wstring text = entry;
      // Names of the drives' current folders ("=C:=C:\") start with "=".
      const std::wstring name = text.substr(0, text.find(L'=', 1));
      const bool replaced = std::any_of(extra.begin(), extra.end(), [&name](const auto& variable) {
        return _wcsicmp(win::ToWide(variable.first).c_str(), name.c_str()) == 0;
      });
      if (!replaced)
        entries.push_back(text);
    }
    FreeEnvironmentStringsW(own);
  }
  std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
    return _wcsicmp(a.c_str(), b.c_str()) < 0;
  });
  std::wstring block;
  for (const std::wstring& entry : entries)
    block += entry + L'\0';
  return block + L'\0';
}

}  // namespace

std::unique_ptr<Process> Process::StartHiddenScript(const std::string& scriptPath,
                                                    const EnvironmentVariables& extra) {
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
  std::wstring environment = ChildEnvironment(extra);
  if (!CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS | CREATE_UNICODE_ENVIRONMENT,
                      environment.data(), nullptr, &startup, &started))
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
