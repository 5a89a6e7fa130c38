#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "os/win/Wide.h"
#include "tests/support/HostShell.h"

namespace testsupport {

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

HostResult RunHost(const std::string& command, int timeoutMs) {
  // Wine starts host programs but hands back neither their output nor their exit code: the
  // script leaves both in files, the exit code last and by a rename, so it is never half read.
  static std::atomic<int> counter{0};
  const std::string base =
      "/tmp/velmar-host-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  {
    std::ofstream script(LocalPath(base + ".sh"), std::ios::binary);
    script << "(" << command << ") >" << base << ".out 2>&1\n"
           << "echo $? >" << base << ".tmp && mv " << base << ".tmp " << base << ".rc\n";
  }
  std::wstring line = L"/bin/sh " + os::win::ToWide(base) + L".sh";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  HostResult result;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return result;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < DWORD(timeoutMs)) {
    const std::string rc = ReadAll(LocalPath(base + ".rc"));
    if (!rc.empty()) {
      result.exitCode = std::atoi(rc.c_str());
      result.output = ReadAll(LocalPath(base + ".out"));
      break;
    }
    Sleep(20);
  }
  for (const char* ext : {".sh", ".out", ".rc"})
    DeleteFileW(os::win::ToWide(LocalPath(base + ext)).c_str());
  return result;
}

std::string LocalPath(const std::string& hostPath) {
  std::string path = "Z:" + hostPath;
  for (char& c : path) {
    if (c == '/')
      c = '\\';
  }
  return path;
}

const char* PlatformName() {
  return "windows";
}

std::optional<std::string> MessageBoxText(const std::string& caption) {
  HWND box = FindWindowW(L"#32770", os::win::ToWide(caption).c_str());
  if (!box)
    return std::nullopt;
  wchar_t text[8192] = {};
  // 0xFFFF is the message box's text control.
  GetDlgItemTextW(box, 0xFFFF, text, 8192);
  return os::win::FromWide(text);
}

namespace {

class WinProgram : public HostProgram {
 public:
  explicit WinProgram(HANDLE process) : process_(process) {}
  ~WinProgram() override {
    Kill();
    CloseHandle(process_);
  }
  std::optional<int> Wait(int timeoutMs) override {
    if (!exitCode_ && WaitForSingleObject(process_, DWORD(timeoutMs)) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(process_, &code);
      exitCode_ = int(code);
    }
    return exitCode_;
  }
  void Kill() override {
    if (exitCode_)
      return;
    TerminateProcess(process_, 255);
    Wait(5000);
  }

 private:
  HANDLE process_;
  std::optional<int> exitCode_;
};

}  // namespace

std::unique_ptr<HostProgram> HostProgram::Start(const std::string& path,
                                                const std::vector<std::string>& environment) {
  for (const std::string& assignment : environment) {
    const std::size_t eq = assignment.find('=');
    SetEnvironmentVariableW(os::win::ToWide(assignment.substr(0, eq)).c_str(),
                            os::win::ToWide(assignment.substr(eq + 1)).c_str());
  }
  std::wstring line = L"\"" + os::win::ToWide(path) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return std::make_unique<WinProgram>(process.hProcess);
}

}  // namespace testsupport
