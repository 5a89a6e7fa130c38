// Asking again for a few seconds when the system refuses a file for sharing: an antivirus or an
// indexer opens a fresh file for a moment, and a rename, a copy, a deletion or a new file of
// that name is refused meanwhile.
#pragma once

#include <windows.h>

namespace os::win {

// Calls `attempt` until it succeeds, fails for another reason, or about three seconds have
// passed. The last error stays the last attempt's.
template <typename Attempt>
bool RetryingSharingViolations(Attempt attempt) {
  constexpr DWORD kPauseMs = 100;
  constexpr int kAttempts = 30;
  for (int i = 1;; ++i) {
    if (attempt())
      return true;
    const DWORD code = GetLastError();
    if (i == kAttempts || (code != ERROR_SHARING_VIOLATION && code != ERROR_LOCK_VIOLATION))
      return false;
    Sleep(kPauseMs);
    SetLastError(code);
  }
}

}  // namespace os::win
