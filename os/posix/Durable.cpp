#include "os/Durable.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

namespace os {

namespace {

bool SyncPath(const std::string& path, int flags) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0)
    return false;
  const bool synced = ::fsync(fd) == 0;
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return synced;
}

}  // namespace

bool FlushFile(const std::string& path) {
  return SyncPath(path, O_RDONLY);
}

bool FlushFolder(const std::string& path) {
  return SyncPath(path.empty() ? "." : path, O_RDONLY | O_DIRECTORY);
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace os
