// gfix.exe and gbak.exe of the Windows build's tests: each runs the host's own tool of the
// same name against the private test server, as a Windows program that the tool runner's
// batch file starts like the real one. Drive paths among the arguments become the host paths
// the server opens; the tool's two streams come out of this program's own two (one stream,
// in the tool's order, where cmd sent both to one file), in the system's code page with CR LF
// as a Windows tool writes them; its exit status is this program's.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "os/win/Wide.h"
#include "tests/support/HostPaths.h"
#include "tests/support/HostProcess.h"
#include "tests/support/StandinArguments.h"

using testsupport::HostProcess;

namespace {

// "gfix" or "gbak" from this program's own file name.
std::string ToolName() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path);
  name = name.substr(name.find_last_of(L"\\/") + 1);
  name = name.substr(0, name.find_last_of(L'.'));
  for (wchar_t& c : name)
    c = wchar_t(towlower(c));
  return os::win::FromWide(name);
}

// True when both handles write into one file, as after cmd's `> "log" 2>&1`.
bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first{}, second{};
  return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

// The tool's UTF-8 text as a Windows tool writes it. A character cut between two reads waits
// for the rest of its bytes.
class WindowsText {
 public:
  std::string Convert(const std::string& utf8) {
    pending_ += utf8;
    std::size_t whole = pending_.size();
    for (std::size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
      const unsigned char c = static_cast<unsigned char>(pending_[pending_.size() - back]);
      if ((c & 0xC0) == 0x80)
        continue;
      const std::size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
      if (need > back)
        whole = pending_.size() - back;
      break;
    }
    std::string text = os::win::FromWide(os::win::ToWide(pending_.substr(0, whole)), CP_ACP);
    pending_.erase(0, whole);
    std::string result;
    for (char c : text) {
      if (c == '\n' && last_ != '\r')
        result += '\r';
      result += c;
      last_ = c;
    }
    return result;
  }

 private:
  std::string pending_;
  char last_ = 0;
};

void Relay(HANDLE to, WindowsText& text, const std::string& chunk) {
  const std::string bytes = text.Convert(chunk);
  DWORD written = 0;
  if (!bytes.empty())
    WriteFile(to, bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

}  // namespace

int main() {
  const std::string tool = ToolName();
  if (tool != "gfix" && tool != "gbak") {
    std::fprintf(stderr, "host tool bridge: no host tool for \"%s\"\n", tool.c_str());
    return 2;
  }
  std::vector<std::string> args;
  for (const std::string& arg : standin::Arguments(0, nullptr))
    args.push_back(testsupport::HostToolArgument(arg));

  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  const bool merged = SameFile(out, err);
  std::unique_ptr<HostProcess> process = HostProcess::Start("/usr/bin/" + tool, args, merged);
  if (!process) {
    std::fprintf(stderr, "host tool bridge: cannot start /usr/bin/%s\n", tool.c_str());
    return 2;
  }
  WindowsText outText, errText;
  for (;;) {
    const std::optional<int> status = process->ExitStatus();
    Relay(out, outText, process->TakeOutput());
    Relay(err, errText, process->TakeErrors());
    if (status)
      return *status;
    Sleep(20);
  }
}
