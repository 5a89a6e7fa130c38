#include "os/Environment.h"

#include "os/win/Wide.h"

namespace os {

std::optional<std::string> GetEnv(const std::string& name) {
  const std::wstring wideName = win::ToWide(name);
  std::wstring value(256, L'\0');
  for (;;) {
    SetLastError(0);
    const DWORD length =
        GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        return std::nullopt;
      return std::string();
    }
    if (length < value.size()) {
      value.resize(length);
      return win::FromWide(value);
    }
    value.resize(length);  // too small: `length` counts the terminator
  }
}

void SetEnv(const std::string& name, const std::string& value) {
  SetEnvironmentVariableW(win::ToWide(name).c_str(), win::ToWide(value).c_str());
}

}  // namespace os
