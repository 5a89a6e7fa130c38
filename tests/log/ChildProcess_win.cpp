#include <windows.h>

#include <stdexcept>
#include <string>

#include "os/Files.h"
#include "os/win/Wide.h"
#include "tests/log/LogTestSupport.h"

namespace logtest {
namespace {

std::wstring Quoted(const std::string& arg) {
  return L"\"" + os::win::ToWide(arg) + L"\"";
}

class WinChild : public ChildProcess {
 public:
  explicit WinChild(HANDLE process) : process_(process) {}
  ~WinChild() override {
    if (process_)
      Wait();
  }
  int Wait() override {
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    CloseHandle(process_);
    process_ = nullptr;
    return static_cast<int>(code);
  }

 private:
  HANDLE process_;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& program,
                                                  const std::vector<std::string>& args) {
  std::wstring commandLine = Quoted(program);
  for (const auto& a : args)
    commandLine += L" " + Quoted(a);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // Wine refused a start once in a CI run, right after the previous holder had ended, and
  // not again in fifty tries here: a few tries keep that out of the logger's results.
  DWORD error = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (CreateProcessW(os::win::ToWide(program).c_str(), commandLine.data(), nullptr, nullptr,
                       FALSE, 0, nullptr, nullptr, &startup, &info)) {
      error = 0;
      break;
    }
    error = GetLastError();
    Sleep(200);
  }
  if (error != 0)
    throw std::runtime_error("cannot start " + program + ": error " + std::to_string(error));
  CloseHandle(info.hThread);
  return std::make_unique<WinChild>(info.hProcess);
}

std::string SiblingProgram(const std::string& name) {
  return os::ProgramDirectory() + name + ".exe";
}

bool PlatformHasShareModes() {
  return true;
}

std::shared_ptr<void> OccupyMutexName(const std::string& name) {
  HANDLE global = CreateEventW(nullptr, TRUE, FALSE, os::win::ToWide("Global\\" + name).c_str());
  HANDLE local = CreateEventW(nullptr, TRUE, FALSE, os::win::ToWide(name).c_str());
  if (!global || !local) {
    if (global)
      CloseHandle(global);
    if (local)
      CloseHandle(local);
    return nullptr;
  }
  return std::shared_ptr<void>(global, [local](void* handle) {
    CloseHandle(handle);
    CloseHandle(local);
  });
}

}  // namespace logtest
