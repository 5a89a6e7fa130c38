#include "os/SystemError.h"

#include "os/win/Wide.h"

namespace os {

int LastErrorCode() {
  return static_cast<int>(GetLastError());
}

void SetLastErrorCode(int code) {
  SetLastError(static_cast<DWORD>(code));
}

std::string SystemErrorText(int code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (length > 0 && buffer != nullptr)
    text = win::FromWide(buffer, length);
  if (buffer != nullptr)
    LocalFree(buffer);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' '))
    text.pop_back();
  return text;
}

bool IsSharingViolation(int code) {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
}

}  // namespace os
