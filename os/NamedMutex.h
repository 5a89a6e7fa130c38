// A machine-wide named mutex that dies with a crashed holder.
#pragma once

#include <memory>
#include <string>

namespace os {

class NamedMutex {
 public:
  enum class Stage { None, SecurityDescriptor, Dacl, Create };
  struct Failure {
    Stage stage = Stage::None;
    int code = 0;  // the system's error code
  };

  // Creates or opens the mutex `fullName` (on Windows with a NULL DACL, so every account may
  // open it, not inheritable, not initially owned). `fullName` may begin with "Global\".
  // On failure returns nullptr and fills `failure`.
  static std::unique_ptr<NamedMutex> Create(const std::string& fullName, Failure* failure);
  virtual ~NamedMutex() = default;

  // Waits without a time-out; an abandoned mutex counts as acquired.
  virtual void Lock() = 0;
  // Takes the mutex without waiting (an abandoned one counts as free); false while another
  // process holds it. Throws EFileError when the system cannot tell.
  virtual bool TryLock() = 0;
  virtual void Unlock() = 0;
};

// The characters a mutex name made from a file path must not hold (the path delimiters, the
// drive colon and the wildcard and redirection characters); callers replace them with '_'.
inline bool IsReservedInMutexName(char c) {
  switch (c) {
    case '"':
    case '*':
    case '/':
    case ':':
    case '<':
    case '>':
    case '?':
    case '\\':
    case '|':
      return true;
    default:
      return false;
  }
}

}  // namespace os
