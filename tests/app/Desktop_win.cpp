#include <windows.h>

#include "os/win/Wide.h"
#include "tests/app/Desktop.h"

std::optional<std::string> MessageBoxText(const std::string& title) {
  HWND box = FindWindowW(L"#32770", os::win::ToWide(title).c_str());
  if (!box)
    return std::nullopt;
  wchar_t text[4096] = {};
  // 0xFFFF is the message box's text control.
  GetDlgItemTextW(box, 0xFFFF, text, 4096);
  return os::win::FromWide(text);
}
