// The system's ANSI and OEM code pages at the edges; case rules of the user's locale.
#include "os/CodePage.h"

#include "os/win/CodePageSet.h"
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

namespace {

// True when the code page holds the character exactly (no "?", no look-alike).
bool Holds(UINT codePage, const wchar_t* character, int length) {
  // UTF-8 carries every character, and Windows refuses the flags below for it: asked anyway,
  // every character would count as lost.
  if (codePage == CP_UTF8 || codePage == CP_UTF7)
    return true;
  BOOL usedDefault = FALSE;
  char bytes[8];
  const int written = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, character, length, bytes,
                                          sizeof bytes, nullptr, &usedDefault);
  return written > 0 && !usedDefault;
}

}  // namespace

namespace win {

std::string CharactersOutside(const std::string& utf8, UINT ansi, UINT oem) {
  const std::wstring wide = ToWide(utf8);
  std::wstring lost;
  for (std::size_t i = 0; i < wide.size();) {
    // A character outside the basic plane takes two UTF-16 units.
    const int length = IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() ? 2 : 1;
    const std::wstring character = wide.substr(i, static_cast<std::size_t>(length));
    if ((!Holds(oem, character.data(), length) || !Holds(ansi, character.data(), length)) &&
        lost.find(character) == std::wstring::npos)
      lost += character;
    i += static_cast<std::size_t>(length);
  }
  return FromWide(lost);
}

}  // namespace win

std::string CharactersOutsideCodePages(const std::string& utf8) {
  // The numbers, not CP_ACP/CP_OEMCP, so that a UTF-8 system is recognised as one.
  return win::CharactersOutside(utf8, GetACP(), GetOEMCP());
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
