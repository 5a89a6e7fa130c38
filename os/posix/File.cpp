#include "os/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os/Exception.h"
#include "os/SystemError.h"

namespace os {

namespace {

class PosixFile : public File {
 public:
  PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~PosixFile() override { Close(); }

  std::int64_t Size() override {
    struct stat info {};
    if (fstat(Fd(), &info) != 0)
      Fail("Не удалось узнать размер файла");
    return info.st_size;
  }

  void Seek(std::int64_t offset) override {
    if (lseek(Fd(), offset, SEEK_SET) < 0)
      Fail("Не удалось перейти к позиции в файле");
  }

  std::size_t Read(void* buffer, std::size_t count) override {
    for (;;) {
      const ssize_t done = ::read(Fd(), buffer, count);
      if (done >= 0)
        return static_cast<std::size_t>(done);
      if (errno != EINTR)
        Fail("Не удалось прочитать файл");
    }
  }

  void Write(const void* data, std::size_t count) override {
    const char* bytes = static_cast<const char*>(data);
    while (count > 0) {
      const ssize_t done = ::write(Fd(), bytes, count);
      if (done < 0) {
        if (errno == EINTR)
          continue;
        Fail("Не удалось записать в файл");
      }
      bytes += done;
      count -= static_cast<std::size_t>(done);
    }
  }

  void SetSize(std::int64_t size) override {
    if (ftruncate(Fd(), size) != 0)
      Fail("Не удалось изменить размер файла");
  }

  void Close() override {
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = -1;
  }

 private:
  int Fd() {
    if (fd_ < 0) {
      errno = EBADF;
      Fail("Файл закрыт");
    }
    return fd_;
  }

  [[noreturn]] void Fail(const char* what) {
    const int code = errno;
    throw EFileError(std::string(what) + " \"" + path_ + "\": " + SystemErrorText(code), code);
  }

  int fd_;
  std::string path_;
};

}  // namespace

std::unique_ptr<File> File::Open(const std::string& path, Mode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::OpenReadWriteShared:
      flags |= O_RDWR;
      break;
    case Mode::CreateExclusive:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case Mode::OpenReadShared:
      flags |= O_RDONLY;
      break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0)
    return nullptr;
  // A directory opens read-only on POSIX; callers expect a plain file.
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd, path);
}

std::unique_ptr<File> File::CreateOwn(const std::string& path) {
  return Open(path, Mode::CreateExclusive);  // no share modes here
}

}  // namespace os
