// The system's ANSI and OEM code pages at the edges; case rules of the user's locale.
#include "os/CodePage.h"

#include "os/win/Wide.h"

namespace os {

namespace {

std::string Recode(const std::string& text, UINT from, UINT to) {
  return win::FromWide(win::ToWide(text, from), to);
}

std::string MapCase(const std::string& utf8, bool lower) {
  std::wstring wide = win::ToWide(utf8);
  if (wide.empty())
    return std::string();
  if (lower)
    CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  else
    CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return win::FromWide(wide);
}

}  // namespace

std::string Utf8ToAnsi(const std::string& utf8) {
  return Recode(utf8, CP_UTF8, CP_ACP);
}
std::string AnsiToUtf8(const std::string& ansi) {
  return Recode(ansi, CP_ACP, CP_UTF8);
}
std::string Utf8ToOem(const std::string& utf8) {
  return Recode(utf8, CP_UTF8, CP_OEMCP);
}
std::string OemToUtf8(const std::string& oem) {
  return Recode(oem, CP_OEMCP, CP_UTF8);
}

std::string LowerCase(const std::string& utf8) {
  return MapCase(utf8, true);
}
std::string UpperCase(const std::string& utf8) {
  return MapCase(utf8, false);
}

bool SameTextLocale(const std::string& a, const std::string& b) {
  const std::wstring first = win::ToWide(a);
  const std::wstring second = win::ToWide(b);
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, first.data(),
                        static_cast<int>(first.size()), second.data(),
                        static_cast<int>(second.size())) == CSTR_EQUAL;
}

}  // namespace os
