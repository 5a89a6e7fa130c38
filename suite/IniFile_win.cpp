#include <windows.h>

#include <cstdio>
#include <string>

#include "suite/IniFile.h"

namespace fbutils {

std::string ReadIniBesideLibrary() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&ReadIniBesideLibrary), &self))
    return std::string();
  wchar_t buffer[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(self, buffer, sizeof buffer / sizeof buffer[0]);
  if (length == 0 || length >= sizeof buffer / sizeof buffer[0])
    return std::string();
  std::wstring path(buffer, length);
  const std::size_t slash = path.find_last_of(L"\\/");
  path =
      (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + L"fbUtils.ini";
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file)
    return std::string();
  std::string text;
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    text.append(chunk, got);
  std::fclose(file);
  return text;
}

}  // namespace fbutils
