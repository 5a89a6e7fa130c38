#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <optional>

#include "os/Environment.h"
#include "os/Exception.h"
#include "os/SystemError.h"
#include "server/ToolScript.h"

namespace {

// The character set of the locale the tools would inherit, as the C library picks it.
bool InheritedLocaleIsUtf8() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const std::optional<std::string> value = os::GetEnv(name);
    if (!value || value->empty())
      continue;
    std::string lower;
    for (char c : *value)
      lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos;
  }
  return false;
}

[[noreturn]] void ThrowWriteError(const std::string& path, int code) {
  throw EFileError("Не удалось создать файл \"" + path + "\": " + os::SystemErrorText(code), code);
}

// A script left half written still holds the password: it goes whatever failed.
[[noreturn]] void RemoveAndThrow(const std::string& path, int code) {
  ::unlink(path.c_str());
  ThrowWriteError(path, code);
}

}  // namespace

std::string ToolScriptContent(const std::string& commandLine) {
  std::string content;
  // gfix and gbak refuse non-ASCII paths under the "C" locale.
  if (!InheritedLocaleIsUtf8())
    content += "LC_ALL=C.UTF-8\nexport LC_ALL\n";
  for (const std::string& line : SplitCommandLines(commandLine))
    content += line + "\n";
  return content;
}

void WriteToolScript(const std::string& path, const std::string& commandLine) {
  const std::string content = ToolScriptContent(commandLine);
  // A leftover (another user's too, in a shared folder) is removed rather than opened: an
  // opened one would keep its owner and mode, and someone else's could not be opened at all.
  // The new file is then made afresh, so nobody can have it open or link it elsewhere.
  if (::unlink(path.c_str()) != 0 && errno != ENOENT)
    ThrowWriteError(path, errno);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0)
    ThrowWriteError(path, errno);
  std::size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      const int code = errno;
      ::close(fd);
      RemoveAndThrow(path, code);
    }
    written += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0)
    RemoveAndThrow(path, errno);
}
