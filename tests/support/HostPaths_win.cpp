#include <windows.h>

#include <map>
#include <mutex>

#include "os/win/Wide.h"
#include "tests/support/HostPaths.h"
#include "tests/support/HostProcess.h"

namespace testsupport {

namespace {

bool IsDrivePath(const std::string& text) {
  const unsigned char letter = text.empty() ? 0 : static_cast<unsigned char>(text[0]);
  return text.size() >= 3 && ((letter | 0x20) >= 'a' && (letter | 0x20) <= 'z') && text[1] == ':' &&
         (text[2] == '\\' || text[2] == '/');
}

// The folder a link of the host stands for, as the host's realpath gives it; "" when unknown.
std::string ResolvedOnHost(const std::string& link) {
  std::unique_ptr<HostProcess> realpath = HostProcess::Start("realpath", {"-m", "--", link}, false);
  if (!realpath)
    return "";
  std::string out;
  for (;;) {
    const std::optional<int> status = realpath->ExitStatus();
    out += realpath->TakeOutput();
    if (status) {
      if (*status != 0)
        return "";
      break;
    }
    Sleep(5);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
    out.pop_back();
  return out;
}

// Wine names every drive path through the drive's link in the prefix ("…/dosdevices/c:/KORA"),
// and the server, which reads "host/port:path", would take the colon there for its own. The
// link is resolved on the host, once for each drive.
std::string WithoutDriveLink(const std::string& unixPath) {
  const std::string folder = "/dosdevices/";
  const std::size_t at = unixPath.find(folder);
  const std::size_t end = at + folder.size() + 2;
  if (at == std::string::npos || unixPath.size() < end || unixPath[end - 1] != ':' ||
      (unixPath.size() > end && unixPath[end] != '/'))
    return unixPath;
  static std::mutex lock;
  static std::map<std::string, std::string> drives;
  const std::string link = unixPath.substr(0, end);
  std::string target;
  {
    std::lock_guard<std::mutex> guard(lock);
    auto known = drives.find(link);
    if (known == drives.end())
      known = drives.emplace(link, ResolvedOnHost(link)).first;
    target = known->second;
  }
  if (target.empty())
    return unixPath;
  // Drive Z: is the host's root: "/" and "/tmp" make "/tmp", not "//tmp".
  return (target == "/" ? "" : target) + unixPath.substr(end);
}

}  // namespace

std::string HostPath(const std::string& localPath) {
  // Wine's own mapping, which knows the drives and the real letter case of every folder; the
  // final name may not exist yet (a file a tool is about to write).
  using UnixName = char*(CDECL*)(const wchar_t*);
  static const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName)
    return localPath;
  char* mapped = unixName(os::win::ToWide(localPath).c_str());
  if (!mapped)
    return localPath;
  std::string hostPath(mapped);
  HeapFree(GetProcessHeap(), 0, mapped);
  return WithoutDriveLink(hostPath);
}

std::string HostToolArgument(const std::string& argument) {
  if (IsDrivePath(argument))
    return HostPath(argument);
  const std::size_t colon = argument.find(':');
  if (colon != std::string::npos && colon > 0 && IsDrivePath(argument.substr(colon + 1)))
    return argument.substr(0, colon + 1) + HostPath(argument.substr(colon + 1));
  return argument;
}

}  // namespace testsupport
