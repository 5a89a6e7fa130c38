// Message boxes and the save dialog of Windows itself.
#include <windows.h>

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "app/MainFormLayout.h"
#include "app/PlatformDialogs.h"
#include "os/win/Wide.h"

namespace {

UINT MessageBoxStyle(DialogButtons buttons, DialogIcon icon, int defaultButton) {
  UINT style = 0;
  switch (buttons) {
    case DialogButtons::Ok:
      style = MB_OK;
      break;
    case DialogButtons::OkCancel:
      style = MB_OKCANCEL;
      break;
    case DialogButtons::YesNo:
      style = MB_YESNO;
      break;
  }
  switch (icon) {
    case DialogIcon::None:
      break;
    case DialogIcon::Information:
      style |= MB_ICONINFORMATION;
      break;
    case DialogIcon::Warning:
      style |= MB_ICONWARNING;
      break;
    case DialogIcon::Error:
      style |= MB_ICONERROR;
      break;
  }
  if (defaultButton == 1 && buttons != DialogButtons::Ok)
    style |= MB_DEFBUTTON2;
  // A long step ends while the operator may have gone over to the till program: the answer
  // must not wait unseen behind it. Windows lets a program that did not get the last input take
  // the foreground only in some cases (otherwise the task-bar button flashes), so the box also
  // stands above other windows.
  return style | MB_SETFOREGROUND | MB_TOPMOST;
}

}  // namespace

DialogResult PlatformDialogs::ShowMessage(const std::string& caption, const std::string& text,
                                          DialogButtons buttons, DialogIcon icon,
                                          int defaultButton) {
  const int answer =
      MessageBoxW(static_cast<HWND>(Owner()), os::win::ToWide(text).c_str(),
                  os::win::ToWide(caption).c_str(), MessageBoxStyle(buttons, icon, defaultButton));
  // A box with only OK has nothing else to answer, however it was closed.
  if (buttons == DialogButtons::Ok)
    return DialogResult::Ok;
  switch (answer) {
    case IDOK:
      return DialogResult::Ok;
    case IDYES:
      return DialogResult::Yes;
    case IDNO:
      return DialogResult::No;
    case IDCANCEL:
      return DialogResult::Cancel;
    default:
      return CloseAnswer(buttons);
  }
}

std::optional<std::string> PlatformDialogs::ShowSaveDialog(const SaveDialogSettings& requested) {
  const SaveDialogSettings s = layout::WithSaveDialog1Defaults(requested);
  // "name\0pattern\0\0", as the dialog reads its filter.
  std::wstring filter = os::win::ToWide(s.filterName);
  filter += L'\0';
  filter += os::win::ToWide(s.filterPattern);
  filter += L'\0';
  const std::wstring title = os::win::ToWide(s.title);
  // Opens near a folder that is gone rather than wherever the system would choose.
  const std::wstring folder = os::win::ToWide(NearestExistingFolder(s.initialDir));
  // The dialog appends the extension itself and wants it bare ("FDB", not "*.FDB").
  const std::wstring ext = os::win::ToWide(BareExtension(s.defaultExt));

  std::vector<wchar_t> file(32768, L'\0');
  // The dialog goes back to the folder it was last left in and takes the initial one only as a
  // hint: a file name with its folder opens the proposed folder every time.
  std::wstring preset = os::win::ToWide(s.fileName);
  if (!folder.empty() && preset.find_first_of(L"\\/") == std::wstring::npos)
    preset = folder + (folder.back() == L'\\' ? L"" : L"\\") + preset;
  preset.copy(file.data(), std::min(preset.size(), file.size() - 1));

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = static_cast<HWND>(Owner());
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = DWORD(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrTitle = title.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.Flags = OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER |
              (s.overwritePrompt ? OFN_OVERWRITEPROMPT : 0);
  if (!GetSaveFileNameW(&ofn))
    return std::nullopt;
  return os::win::FromWide(file.data());
}
