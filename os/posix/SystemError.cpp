#include "os/SystemError.h"

#include <cerrno>
#include <cstring>

namespace os {

int LastErrorCode() {
  return errno;
}

void SetLastErrorCode(int code) {
  errno = code;
}

std::string SystemErrorText(int code) {
  char buffer[512] = {};
  // The GNU strerror_r may return a static string instead of filling the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
  std::string text = strerror_r(code, buffer, sizeof buffer);
#else
  std::string text = strerror_r(code, buffer, sizeof buffer) == 0 ? buffer : "";
  if (text.empty())
    text = "Unknown error " + std::to_string(code);
#endif
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
    text.pop_back();
  return text;
}

bool IsSharingViolation(int) {
  return false;
}

}  // namespace os
