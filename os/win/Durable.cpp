#include "os/Durable.h"

#include "os/Files.h"
#include "os/SystemError.h"
#include "os/Time.h"
#include "os/win/Wide.h"

namespace os {

namespace {

constexpr std::uint64_t kSharingRetryMs = 5000;

}  // namespace

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
  // A virus scanner looks into a file just written and holds it for a moment; so may the
  // indexing service the replaced one.
  const std::uint64_t giveUpAt = MonotonicMs() + kSharingRetryMs;
  for (;;) {
    if (MoveFileExW(win::ToWide(from).c_str(), win::ToWide(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
      return true;
    const DWORD error = GetLastError();
    if ((!IsSharingViolation(static_cast<int>(error)) && error != ERROR_ACCESS_DENIED) ||
        MonotonicMs() >= giveUpAt)
      return false;
    Sleep(100);
    SetLastError(error);
  }
}

}  // namespace os
