#include "repair/SafetyCopy.h"

#include "check/ValidateDatabase.h"
#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/CodePage.h"
#include "os/Durable.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "os/Format.h"
#include "os/Process.h"
#include "os/SystemError.h"
#include "progress/ProgressViewer.h"
#include "repair/FreeSpace.h"
#include "repair/RebuildDatabase.h"
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

// A name beside the chosen one that no file has yet.
std::string PartialCopyPath(const std::string& chosen) {
  const std::string stem = chosen + "." + std::to_string(os::CurrentProcessId());
  std::string path = stem + ".tmp";
  for (int n = 1; os::FileExists(path) || os::DirectoryExists(path); ++n)
    path = stem + "-" + std::to_string(n) + ".tmp";
  return path;
}

// The copy is made under a name of its own and put on the disk before it takes the chosen
// name in one rename: an earlier file there stays as it was until the copy is whole, and the
// copy survives a power cut during the mend that follows.
void CopyUnderViewer(const std::string& databaseFile, const std::string& chosen) {
  const std::string partial = PartialCopyPath(chosen);
  auto* viewer = new TProgressViewer(kCopyCaption, /*showPercent=*/false, /*canCancel=*/false);
  const bool copied = os::CopyFileNoReplace(databaseFile, partial) && os::FlushFile(partial);
  const int error = copied ? 0 : os::LastErrorCode();  // before Terminate can change it
  viewer->Terminate();
  if (!copied) {
    os::RemoveFile(partial);
    // Windows refuses to copy a file another program has open for writing: a till attached
    // to the database. That is the in-use case the mend would find, in the operator's words.
    if (os::IsSharingViolation(error))
      throw Exception(DatabaseInUseMessage());
    throw Exception(Format(kCopyFailed, {chosen, os::SystemErrorText(error)}));
  }
  if (!os::RenameReplacing(partial, chosen)) {
    const int code = os::LastErrorCode();
    os::RemoveFile(partial);
    throw Exception(Format(kOldFileNotDeleted, {chosen, os::SystemErrorText(code)}));
  }
  if (!os::FlushFolder(os::ExtractFileDir(chosen)))
    throw Exception(Format(kCopyFailed, {chosen, os::LastErrorText()}));
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
  // The rebuild deletes its own files beside the database and in the work folder.
  if (NamesAScratchFile(chosen, databaseFile))
    throw Exception(Format(kCopyOnScratchName, {chosen}));

  EnsureRoomForRepair(databaseFile, chosen);
  if (os::FileExists(chosen))
    ConfirmReplacing(dialogs, chosen);
  CopyUnderViewer(databaseFile, chosen);
  SessionLog().Write(kCopyMade + chosen, llPlain);
  return chosen;
}
