#include "tests/support/HostProcess.h"

#include <string>

#include "os/win/Wide.h"
#include "tests/support/HostShell.h"

namespace testsupport {

namespace {

std::wstring DrivePath(const std::string& hostPath) {
  // Wine's drive Z: is the host's root.
  std::wstring path = L"Z:" + os::win::ToWide(hostPath);
  for (wchar_t& c : path) {
    if (c == L'/')
      c = L'\\';
  }
  return path;
}

// Creates the script under a name nobody else holds: other Wine prefixes number their
// processes alike, so the process id alone does not make the name unique.
HANDLE CreateScript(std::string& base) {
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    base = "/tmp/velmar-hostprocess-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(GetTickCount()) + "-" + std::to_string(attempt);
    HANDLE file = CreateFileW(DrivePath(base + ".sh").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
      return file;
  }
  return INVALID_HANDLE_VALUE;
}

std::string ReadSmallFile(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return "";
  char buffer[64] = {};
  DWORD read = 0;
  ReadFile(file, buffer, sizeof buffer - 1, &read, nullptr);
  CloseHandle(file);
  return std::string(buffer, read);
}

}  // namespace

HostProcess::HostProcess(std::string base) : base_(std::move(base)) {
  out_.path = DrivePath(base_ + ".out");
  err_.path = DrivePath(base_ + ".err");
}

std::unique_ptr<HostProcess> HostProcess::Start(const std::string& program,
                                                const std::vector<std::string>& args,
                                                bool mergeStreams) {
  std::string base;
  HANDLE script = CreateScript(base);
  if (script == INVALID_HANDLE_VALUE)
    return nullptr;
  std::unique_ptr<HostProcess> process(new HostProcess(base));
  std::string command = "LANG=C.UTF-8 LC_ALL=C.UTF-8 " + ShellQuote(program);
  for (const std::string& arg : args)
    command.append(" ").append(ShellQuote(arg));
  command += " </dev/null >" + ShellQuote(base + ".out") + " 2>" +
             (mergeStreams ? std::string("&1") : ShellQuote(base + ".err"));
  const std::string text = command + "\necho $? >" + ShellQuote(base + ".tmp") + " && mv " +
                           ShellQuote(base + ".tmp") + " " + ShellQuote(base + ".rc") + "\n";
  DWORD written = 0;
  const bool complete = WriteFile(script, text.data(), DWORD(text.size()), &written, nullptr) &&
                        written == text.size();
  CloseHandle(script);
  if (!complete)
    return nullptr;

  std::wstring line = L"/bin/sh " + os::win::ToWide(base) + L".sh";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info))
    return nullptr;
  // Wine gives no handle that could be waited on for a Unix program; the exit status file
  // tells the end.
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return process;
}

HostProcess::~HostProcess() {
  for (Stream* stream : {&out_, &err_}) {
    if (stream->handle != INVALID_HANDLE_VALUE)
      CloseHandle(stream->handle);
  }
  // A program that has not ended keeps writing into files nobody reads.
  for (const char* ext : {".sh", ".out", ".err", ".rc"})
    DeleteFileW(DrivePath(base_ + ext).c_str());
}

std::string HostProcess::Take(Stream& stream) {
  if (stream.handle == INVALID_HANDLE_VALUE) {
    stream.handle = CreateFileW(stream.path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (stream.handle == INVALID_HANDLE_VALUE)
      return "";
  }
  std::string taken;
  char buffer[8192];
  DWORD read = 0;
  while (ReadFile(stream.handle, buffer, sizeof buffer, &read, nullptr) && read > 0)
    taken.append(buffer, read);
  return taken;
}

std::optional<int> HostProcess::ExitStatus() {
  const std::string status = ReadSmallFile(DrivePath(base_ + ".rc"));
  if (status.empty())
    return std::nullopt;
  return std::atoi(status.c_str());
}

}  // namespace testsupport
