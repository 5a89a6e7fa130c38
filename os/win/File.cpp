#include "os/File.h"

#include "os/Exception.h"
#include "os/SystemError.h"
#include "os/win/SharingRetry.h"
#include "os/win/Wide.h"

namespace os {

namespace {

class WinFile : public File {
 public:
  WinFile(HANDLE handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  ~WinFile() override { Close(); }

  std::int64_t Size() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(Handle(), &size))
      Fail("Не удалось узнать размер файла");
    return size.QuadPart;
  }

  void Seek(std::int64_t offset) override {
    LARGE_INTEGER to{};
    to.QuadPart = offset;
    if (!SetFilePointerEx(Handle(), to, nullptr, FILE_BEGIN))
      Fail("Не удалось перейти к позиции в файле");
  }

  std::size_t Read(void* buffer, std::size_t count) override {
    DWORD done = 0;
    const DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    if (!ReadFile(Handle(), buffer, chunk, &done, nullptr))
      Fail("Не удалось прочитать файл");
    return done;
  }

  void Write(const void* data, std::size_t count) override {
    const char* bytes = static_cast<const char*>(data);
    while (count > 0) {
      const DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
      DWORD done = 0;
      if (!WriteFile(Handle(), bytes, chunk, &done, nullptr))
        Fail("Не удалось записать в файл");
      bytes += done;
      count -= done;
    }
  }

  // Moves the end of the file and leaves the position where it was, as truncation does on POSIX.
  void SetSize(std::int64_t size) override {
    LARGE_INTEGER zero{}, position{}, to{};
    to.QuadPart = size;
    if (!SetFilePointerEx(Handle(), zero, &position, FILE_CURRENT) ||
        !SetFilePointerEx(Handle(), to, nullptr, FILE_BEGIN) || !SetEndOfFile(Handle()) ||
        !SetFilePointerEx(Handle(), position, nullptr, FILE_BEGIN))
      Fail("Не удалось изменить размер файла");
  }

  void Close() override {
    if (handle_ != INVALID_HANDLE_VALUE)
      CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE Handle() {
    if (handle_ == INVALID_HANDLE_VALUE) {
      SetLastError(ERROR_INVALID_HANDLE);
      Fail("Файл закрыт");
    }
    return handle_;
  }

  [[noreturn]] void Fail(const char* what) {
    const int code = static_cast<int>(GetLastError());
    throw EFileError(std::string(what) + " \"" + path_ + "\": " + SystemErrorText(code), code);
  }

  HANDLE handle_;
  std::string path_;
};

}  // namespace

std::unique_ptr<File> File::Open(const std::string& path, Mode mode) {
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case Mode::OpenReadWriteShared:
      break;
    case Mode::CreateExclusive:
      share = 0;
      disposition = CREATE_ALWAYS;
      break;
    case Mode::OpenReadShared:
      access = GENERIC_READ;
      break;
  }
  HANDLE handle = CreateFileW(win::ToWide(path).c_str(), access, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return nullptr;
  return std::make_unique<WinFile>(handle, path);
}

std::unique_ptr<File> File::CreateOwn(const std::string& path) {
  std::unique_ptr<File> file;
  win::RetryingSharingViolations(
      [&] { return (file = Open(path, Mode::CreateExclusive)) != nullptr; });
  return file;
}

}  // namespace os
