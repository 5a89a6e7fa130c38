// The file name in the registry of the current user.
#include <windows.h>

#include "app/FormStorage.h"
#include "os/win/Wide.h"

namespace form_storage {

namespace {

constexpr const wchar_t* kKey = L"Software\\Norwin\\Velmar\\VelmarDBRepair";
constexpr const wchar_t* kFileNameValue = L"FilenameEdit1_FileName";

}  // namespace

std::optional<std::string> LoadFileName() {
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, kKey, kFileNameValue, RRF_RT_REG_SZ, nullptr, nullptr,
                   &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = DWORD(value.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CURRENT_USER, kKey, kFileNameValue, RRF_RT_REG_SZ, nullptr, value.data(),
                   &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.resize(wcsnlen(value.c_str(), value.size()));
  return os::win::FromWide(value);
}

bool StoreFileName(const std::string& fileName) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring value = os::win::ToWide(fileName);
  const LONG result =
      RegSetValueExW(key, kFileNameValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     DWORD((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

}  // namespace form_storage
