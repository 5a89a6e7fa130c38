#include "os/FileLock.h"

#include "os/win/Wide.h"

namespace os {

namespace {

class WinFileLock : public FileLock {};

}  // namespace

std::unique_ptr<FileLock> FileLock::TryExclusive(const std::string& path) {
  HANDLE file = CreateFileW(win::ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return nullptr;
  CloseHandle(file);
  return std::make_unique<WinFileLock>();
}

}  // namespace os
