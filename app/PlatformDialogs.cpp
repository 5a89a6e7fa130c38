// The parts of the dialogs that do not depend on the toolkit.
#include "app/PlatformDialogs.h"

#include "app/MainFormLayout.h"
#include "os/Files.h"

DialogResult ButtonAnswer(DialogButtons buttons, int index) {
  switch (buttons) {
    case DialogButtons::Ok:
      return DialogResult::Ok;
    case DialogButtons::OkCancel:
      return index == 0 ? DialogResult::Ok : DialogResult::Cancel;
    case DialogButtons::YesNo:
      return index == 0 ? DialogResult::Yes : DialogResult::No;
  }
  return DialogResult::Cancel;
}

std::string NearestExistingFolder(const std::string& folder) {
  std::string candidate = folder;
  while (!candidate.empty() && !os::DirectoryExists(candidate)) {
    const std::string parent = os::ExtractFileDir(candidate);
    candidate = parent == candidate ? std::string() : parent;
  }
  return candidate.empty() ? os::ProgramDirectory() : candidate;
}

std::string BareExtension(const std::string& defaultExt) {
  std::string ext = defaultExt;
  if (ext.rfind("*", 0) == 0)
    ext.erase(0, 1);
  if (ext.rfind(".", 0) == 0)
    ext.erase(0, 1);
  return ext;
}

void PlatformDialogs::ShowError(const std::string& message) {
  ShowMessage(layout::kErrorCaption, message, DialogButtons::Ok, DialogIcon::Error);
}
