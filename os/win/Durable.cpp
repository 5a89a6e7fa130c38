#include "os/Durable.h"

#include "os/Files.h"
#include "os/win/Wide.h"

namespace os {

bool FlushFile(const std::string& path) {
  HANDLE file = CreateFileW(win::ToWide(path).c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  const BOOL flushed = FlushFileBuffers(file);
  const DWORD error = GetLastError();
  CloseHandle(file);
  SetLastError(error);
  return flushed != 0;
}

bool FlushFolder(const std::string& path) {
  if (path.empty() || DirectoryExists(path))
    return true;
  SetLastError(ERROR_PATH_NOT_FOUND);
  return false;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  return MoveFileExW(win::ToWide(from).c_str(), win::ToWide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace os
