// UTF-8 <-> UTF-16 at the Win32 boundary, and conversions to and from the system code pages.
#pragma once

#include <windows.h>

#include <string>

namespace os::win {

inline std::wstring ToWide(const std::string& text, UINT codePage = CP_UTF8) {
  if (text.empty())
    return std::wstring();
  const int length =
      MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0)
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
  return wide;
}

inline std::string FromWide(const wchar_t* wide, std::size_t size, UINT codePage = CP_UTF8) {
  if (size == 0)
    return std::string();
  const int length =
      WideCharToMultiByte(codePage, 0, wide, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  if (length > 0)
    WideCharToMultiByte(codePage, 0, wide, static_cast<int>(size), text.data(), length, nullptr,
                        nullptr);
  return text;
}

inline std::string FromWide(const std::wstring& wide, UINT codePage = CP_UTF8) {
  return FromWide(wide.data(), wide.size(), codePage);
}

}  // namespace os::win
