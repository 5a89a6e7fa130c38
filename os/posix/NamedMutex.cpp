// A named mutex on POSIX is an flock() on a lock file named after the mutex. The kernel drops
// the lock when the holder's last descriptor closes, so a crashed or killed holder releases it
// (a POSIX named semaphore would stay taken forever). The files live in one directory shared
// by all users (sticky, world-writable, like /tmp) and stay there: removing a lock file while
// someone waits on it would split one mutex into two.
//
// flock() locks belong to the open file description, so two threads using one handle would
// both "own" it; an in-process std::mutex per handle makes them exclude each other, too.
#include "os/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>

#include "os/Exception.h"
#include "os/SystemError.h"

namespace os {

namespace {

constexpr const char* kLockDirectory = "/tmp/.velmar-mutex";
constexpr std::size_t kMaxFileName = 200;

std::uint64_t Fnv1a(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

// A file name that stands for `name` alone: safe bytes stay, everything else (delimiters
// included) is written as %XX, so distinct names never share a file. The Global and Local
// namespaces are one on POSIX. Names too long for a file name keep a readable tail and a hash.
std::string LockFileName(std::string name) {
  for (const char* prefix : {"Global\\", "Local\\"}) {
    const std::string p = prefix;
    if (name.compare(0, p.size(), p) == 0) {
      name.erase(0, p.size());
      break;
    }
  }
  static const char kHex[] = "0123456789ABCDEF";
  std::string file;
  for (const unsigned char c : name) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_' || c == '.';
    if (safe) {
      file += static_cast<char>(c);
    } else {
      file += '%';
      file += kHex[c >> 4];
      file += kHex[c & 0xF];
    }
  }
  if (file.empty() || file[0] == '.')
    file.insert(0, "%");
  if (file.size() > kMaxFileName) {
    char hash[17];
    const std::uint64_t value = Fnv1a(name);
    for (int i = 0; i < 16; ++i)
      hash[i] = kHex[(value >> (60 - 4 * i)) & 0xF];
    hash[16] = '\0';
    file = std::string("#") + hash + "#" + file.substr(file.size() - (kMaxFileName - 18));
  }
  return file + ".lock";
}

bool EnsureLockDirectory() {
  if (::mkdir(kLockDirectory, 0777) == 0) {
    // The umask narrowed the mode; every account must be able to add its lock files.
    ::chmod(kLockDirectory, 01777);
  } else if (errno != EEXIST) {
    return false;
  }
  struct stat info {};
  if (::lstat(kLockDirectory, &info) != 0)
    return false;
  if (!S_ISDIR(info.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  return true;
}

class PosixNamedMutex : public NamedMutex {
 public:
  PosixNamedMutex(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
  ~PosixNamedMutex() override { ::close(fd_); }

  void Lock() override {
    threads_.lock();
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR)
        continue;
      const int code = errno;
      threads_.unlock();
      throw EFileError("Не удалось захватить мьютекс \"" + name_ + "\": " + SystemErrorText(code),
                       code);
    }
  }

  bool TryLock() override {
    if (!threads_.try_lock())
      return false;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR)
        continue;
      const int code = errno;
      threads_.unlock();
      if (code == EWOULDBLOCK)
        return false;
      throw EFileError("Не удалось захватить мьютекс \"" + name_ + "\": " + SystemErrorText(code),
                       code);
    }
    return true;
  }

  void Unlock() override {
    ::flock(fd_, LOCK_UN);
    threads_.unlock();
  }

 private:
  int fd_;
  std::string name_;
  std::mutex threads_;
};

}  // namespace

std::unique_ptr<NamedMutex> NamedMutex::Create(const std::string& fullName, Failure* failure) {
  const auto fail = [failure]() -> std::unique_ptr<NamedMutex> {
    if (failure != nullptr)
      *failure = Failure{Stage::Create, errno};
    return nullptr;
  };
  if (!EnsureLockDirectory())
    return fail();
  const std::string path = std::string(kLockDirectory) + "/" + LockFileName(fullName);
  // An existing file is opened without O_CREAT: in a sticky folder the kernel refuses O_CREAT
  // on another user's file (protected_regular), even one everybody may write. flock needs no
  // write access, so a file left read-only still serves.
  const auto openExisting = [&path] {
    int opened;
    do {
      opened = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
      if (opened < 0 && errno == EACCES)
        opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    } while (opened < 0 && errno == EINTR);
    return opened;
  };
  int fd = openExisting();
  for (int attempt = 0; fd < 0 && errno == ENOENT && attempt < 5; ++attempt) {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0 && (errno == EEXIST || errno == EINTR))
      fd = openExisting();  // made by someone else meanwhile
  }
  if (fd < 0)
    return fail();
  // Another account must be able to open the file this one created.
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 0666) != 0666)
    ::fchmod(fd, 0666);
  if (failure != nullptr)
    *failure = Failure{};
  return std::make_unique<PosixNamedMutex>(fd, fullName);
}

}  // namespace os
