// The system's last error code and its text, in UTF-8.
#pragma once

#include <string>

namespace os {

// GetLastError() on Windows, errno on POSIX.
int LastErrorCode();
void SetLastErrorCode(int code);

// The system's own text for an error code, trimmed of trailing line breaks and dots as the
// system gives them (on Windows FormatMessage in the user's language, on POSIX strerror).
std::string SystemErrorText(int code);
inline std::string LastErrorText() {
  return SystemErrorText(LastErrorCode());
}

// True for the codes a writer may retry after a short pause: a sharing or lock violation
// (32 and 33 on Windows). POSIX has no share modes, so there it is always false.
bool IsSharingViolation(int code);

}  // namespace os
