#include "os/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "os/Exception.h"
#include "os/SystemError.h"

namespace os {

namespace {

bool StatOf(const std::string& path, struct stat& info) {
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Closes without disturbing errno, which the caller still has to report.
void CloseKeepingError(int fd) {
  const int saved = errno;
  ::close(fd);
  errno = saved;
}

bool WriteAll(int fd, const char* data, std::size_t count) {
  while (count > 0) {
    const ssize_t done = ::write(fd, data, count);
    if (done < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    data += done;
    count -= static_cast<std::size_t>(done);
  }
  return true;
}

// '*' and '?' only, as the Windows finder matches them: '[' and '\\' are plain characters.
bool MatchesMask(const char* mask, const char* name) {
  const char* starMask = nullptr;
  const char* starName = nullptr;
  while (*name != '\0') {
    if (*mask == '*') {
      starMask = ++mask;
      starName = name;
    } else if (*mask == '?' || *mask == *name) {
      ++mask;
      ++name;
    } else if (starMask != nullptr) {
      mask = starMask;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*mask == '*')
    ++mask;
  return *mask == '\0';
}

bool CopyThroughBuffer(int from, int to) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got == 0)
      return true;
    if (got < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    if (!WriteAll(to, buffer, static_cast<std::size_t>(got)))
      return false;
  }
}

// Errors by which the kernel says that it cannot copy between these two files this way, as
// opposed to a failure of the disk or the file system, which ends the copy.
bool NotSupportedHere(int error) {
  return error == ENOSYS || error == EXDEV || error == EINVAL || error == EOPNOTSUPP ||
         error == ENOTSUP || error == EBADF || error == EPERM;
}

// Each call moves one chunk inside the kernel and advances both files' offsets, so a slower
// way can go on where a faster one gave up.
constexpr std::size_t kKernelChunk = 64 * 1024 * 1024;

ssize_t CopyRangeChunk(int from, int to) {
  return ::copy_file_range(from, nullptr, to, nullptr, kKernelChunk, 0);
}

ssize_t SendFileChunk(int from, int to) {
  return ::sendfile(to, from, nullptr, kKernelChunk);
}

enum class KernelCopy { Done, Failed, NotSupported };

KernelCopy CopyInKernel(ssize_t (*chunk)(int, int), int from, int to, std::int64_t size) {
  std::int64_t copied = 0;
  for (;;) {
    const ssize_t done = chunk(from, to);
    if (done > 0) {
      copied += done;
      continue;
    }
    // Some file systems report nothing to copy for files whose size they do not know.
    if (done == 0)
      return copied == 0 && size > 0 ? KernelCopy::NotSupported : KernelCopy::Done;
    if (errno == EINTR)
      continue;
    return copied == 0 && NotSupportedHere(errno) ? KernelCopy::NotSupported : KernelCopy::Failed;
  }
}

// At the disk's speed: the kernel's own copy (which the file system may even do by itself),
// else, as between two file systems, the kernel's file-to-file transfer, else a plain loop.
bool CopyBytes(int from, int to, std::int64_t size) {
  for (auto chunk : {&CopyRangeChunk, &SendFileChunk}) {
    switch (CopyInKernel(chunk, from, to, size)) {
      case KernelCopy::Done:
        return true;
      case KernelCopy::Failed:
        return false;
      case KernelCopy::NotSupported:
        break;
    }
  }
  return CopyThroughBuffer(from, to);
}

}  // namespace

char PathDelimiter() {
  return '/';
}

bool IsPathDelimiter(char c) {
  return c == '/';
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return StatOf(path, info) && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat info {};
  return StatOf(path, info) && S_ISDIR(info.st_mode);
}

bool MakeDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
    return false;
  return DirectoryExists(path);
}

bool RemoveFile(const std::string& path) {
  if (DirectoryExists(path)) {
    errno = EISDIR;
    return false;
  }
  return ::unlink(path.c_str()) == 0;
}

bool RemoveOwnFile(const std::string& path) {
  return RemoveFile(path);  // no share modes here: nothing refuses it for a moment
}

bool RenameFile(const std::string& from, const std::string& to) {
  // rename() would silently replace an existing target; the callers rely on a refusal.
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS)
    return false;
  // File systems without RENAME_NOREPLACE: a hard link refuses an existing target, too.
  // Directories cannot be linked; for them test and rename (the window is unavoidable there).
  if (DirectoryExists(from)) {
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) {
      errno = EEXIST;
      return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
  }
  if (::link(from.c_str(), to.c_str()) != 0)
    return false;
  if (::unlink(from.c_str()) != 0) {
    const int saved = errno;
    ::unlink(to.c_str());
    errno = saved;
    return false;
  }
  return true;
}

bool CopyFileNoReplace(const std::string& from, const std::string& to) {
  const int source = OpenRetrying(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0)
    return false;
  struct stat info {};
  if (fstat(source, &info) != 0) {
    CloseKeepingError(source);
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(source);
    errno = EISDIR;
    return false;
  }
  // The owner may always write the copy, as on Windows: a read-only database gives a copy
  // that can still be mended and replaced.
  const mode_t mode = (info.st_mode & 07777) | S_IWUSR;
  const int target = OpenRetrying(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (target < 0) {
    CloseKeepingError(source);
    return false;
  }
  bool ok = CopyBytes(source, target, static_cast<std::int64_t>(info.st_size));
  // The umask may have narrowed the mode at creation.
  if (ok)
    ok = fchmod(target, mode) == 0;
  if (ok)
    ok = ::close(target) == 0;
  else
    CloseKeepingError(target);
  CloseKeepingError(source);
  if (!ok) {
    // A half-written copy must not pass for a copy.
    const int saved = errno;
    ::unlink(to.c_str());
    errno = saved;
  }
  return ok;
}

std::vector<DirEntry> FindEntries(const std::string& pattern) {
  std::vector<DirEntry> entries;
  const std::string dir = ExtractFilePath(pattern);
  const std::string mask = ExtractFileName(pattern);
  std::unique_ptr<DIR, int (*)(DIR*)> stream(::opendir(dir.empty() ? "." : dir.c_str()),
                                             &::closedir);
  if (!stream)
    return entries;
  while (const dirent* entry = ::readdir(stream.get())) {
    const std::string name = entry->d_name;
    if (!MatchesMask(mask.c_str(), name.c_str()))
      continue;
    bool isDirectory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat info {};
      isDirectory = StatOf(dir + name, info) && S_ISDIR(info.st_mode);
    }
    entries.push_back(DirEntry{name, isDirectory});
  }
  return entries;
}

std::string TempDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  return IncludeTrailingDelimiter(dir);
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat info {};
  if (!StatOf(path, info))
    return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino)};
}

bool SameFile(const std::string& a, const std::string& b) {
  const auto first = IdentityOf(a);
  const auto second = IdentityOf(b);
  return first && second && *first == *second;
}

std::optional<std::int64_t> FileSize(const std::string& path) {
  struct stat info {};
  if (!StatOf(path, info) || S_ISDIR(info.st_mode))
    return std::nullopt;
  return static_cast<std::int64_t>(info.st_size);
}

std::string ReadWholeFile(const std::string& path) {
  const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_CLOEXEC);
  auto fail = [&path](int code) {
    throw EFileError("Не удалось прочитать файл \"" + path + "\": " + SystemErrorText(code), code);
  };
  if (fd < 0)
    fail(errno);
  std::string content;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0)
      break;
    if (got < 0) {
      if (errno == EINTR)
        continue;
      const int code = errno;
      ::close(fd);
      fail(code);
    }
    content.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return content;
}

std::string ProgramPath() {
  std::string path(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0)
    return std::string();
  path.resize(static_cast<std::size_t>(length));
  return path;
}

}  // namespace os
