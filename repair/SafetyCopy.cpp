#include "repair/SafetyCopy.h"

#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/CodePage.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "os/Format.h"
#include "os/SystemError.h"
#include "progress/ProgressViewer.h"
#include "repair/RepairMessages.h"
#include "server/FixedPaths.h"

using namespace repairtext;

namespace {

// The same file may be spelled in many ways (relative, "..", a link, a short name, another
// letter case); copying onto it would end with the database deleted, so compare both the
// strings and the files themselves.
bool IsTheDatabaseItself(const std::string& chosen, const std::string& databaseFile) {
  return os::SameTextLocale(chosen, databaseFile) || os::SameFile(chosen, databaseFile);
}

// A path naming a backup is taken as the operator's own earlier copy and replaced without a
// question; any other file might be a working database.
void ConfirmReplacing(OperatorDialogs& dialogs, const std::string& chosen) {
  if (os::UpperCase(chosen).find("BACKUP") != std::string::npos)
    return;
  const DialogResult answer = dialogs.ShowMessage(
      kOldFileCaption, Format(kOldFileQuestion, {chosen}), DialogButtons::YesNo, DialogIcon::None);
  if (answer != DialogResult::Yes)
    throw Exception(kUserAborted);
}

void CopyUnderViewer(const std::string& databaseFile, const std::string& chosen) {
  auto* viewer = new TProgressViewer(kCopyCaption, /*showPercent=*/false, /*canCancel=*/false);
  const bool copied = os::CopyFileNoReplace(databaseFile, chosen);
  const int error = copied ? 0 : os::LastErrorCode();  // before Terminate can change it
  viewer->Terminate();
  if (!copied)
    throw Exception(Format(kCopyFailed, {chosen, os::SystemErrorText(error)}));
}

}  // namespace

SaveDialogSettings SafetyCopyDialogSettings(const std::string& databaseFile) {
  SaveDialogSettings settings;
  settings.title = kSaveTitle;
  settings.filterName = kSaveFilterName;
  settings.filterPattern = kSavePattern;
  settings.defaultExt = kSavePattern;
  settings.overwritePrompt = true;
  const std::string folder = paths::SafetyCopyFolder();
  settings.initialDir = os::ForceDirectories(folder) ? folder : os::ExtractFileDir(databaseFile);
  settings.fileName = os::ChangeFileExt(os::ExtractFileName(databaseFile), kSafetyCopySuffix);
  return settings;
}

std::string MakeSafetyCopy(OperatorDialogs& dialogs, const std::string& databaseFile) {
  const std::optional<std::string> picked =
      dialogs.ShowSaveDialog(SafetyCopyDialogSettings(databaseFile));
  if (!picked)
    throw Exception(kUserAborted);
  const std::string chosen = *picked;
  if (IsTheDatabaseItself(chosen, databaseFile))
    throw Exception(kCopyOntoItself);

  if (os::FileExists(chosen)) {
    ConfirmReplacing(dialogs, chosen);
    if (!os::RemoveFile(chosen))
      throw Exception(Format(kOldFileNotDeleted, {chosen, os::LastErrorText()}));
  }
  CopyUnderViewer(databaseFile, chosen);
  SessionLog().Write(kCopyMade + chosen, llPlain);
  return chosen;
}
