#include "repair/SafetyCopy.h"

#include <cstdio>

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
#include "os/Time.h"
#include "progress/ProgressViewer.h"
#include "progress/ScopedProgressViewer.h"
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

// A path naming a backup is taken as the operator's own earlier copy: it is kept, without a
// question; any other file might be a working database and is replaced only on a Yes.
bool NamesABackup(const std::string& chosen) {
  return os::UpperCase(chosen).find("BACKUP") != std::string::npos;
}

void ConfirmReplacing(OperatorDialogs& dialogs, const std::string& chosen) {
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
void KeepEarlierCopy(const std::string& chosen) {
  const std::string kept = EarlierCopyName(chosen);
  if (!os::RenameFile(chosen, kept))
    throw Exception(Format(kEarlierCopyNotKept, {chosen, kept, os::LastErrorText()}));
  SessionLog().Write(kEarlierCopyKept + kept, llPlain);
}

void CopyUnderViewer(const std::string& databaseFile, const std::string& chosen, bool keepEarlier) {
  const std::string partial = PartialCopyPath(chosen);
  bool copied = false;
  int error = 0;
  {
    ScopedProgressViewer viewer(kCopyCaption, /*showPercent=*/false, /*canCancel=*/false);
    copied = os::CopyFileNoReplace(databaseFile, partial) && os::FlushFile(partial);
    error = copied ? 0 : os::LastErrorCode();  // before Terminate can change it
  }
  if (!copied) {
    os::RemoveOwnFile(partial);
    // Windows refuses to copy a file another program has open for writing: a till attached
    // to the database. That is the in-use case the mend would find, in the operator's words.
    if (os::IsSharingViolation(error))
      throw EDatabaseInUse(repairtext::kDatabaseInUse);
    throw Exception(Format(kCopyFailed, {chosen, os::SystemErrorText(error)}));
  }
  if (keepEarlier && os::FileExists(chosen)) {
    try {
      KeepEarlierCopy(chosen);
    } catch (...) {
      os::RemoveOwnFile(partial);
      throw;
    }
  }
  if (!os::RenameReplacing(partial, chosen)) {
    const int code = os::LastErrorCode();
    os::RemoveOwnFile(partial);
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

std::string EarlierCopyName(const std::string& path) {
  const std::string ext = os::ExtractFileExt(path);
  const std::string stem = path.substr(0, path.size() - ext.size());
  const os::LocalTime t = os::FileWriteTime(path).value_or(os::LocalTimeNow());
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "_%04d-%02d-%02d_%02d-%02d-%02d", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  std::string name = stem + stamp + ext;
  for (int n = 2; os::FileExists(name) || os::DirectoryExists(name); ++n)
    name = stem + stamp + "-" + std::to_string(n) + ext;
  return name;
}

SafetyCopyChoice ChooseSafetyCopy(OperatorDialogs& dialogs, const std::string& databaseFile) {
  const std::optional<std::string> picked =
      dialogs.ShowSaveDialog(SafetyCopyDialogSettings(databaseFile));
  if (!picked)
    throw Exception(kUserAborted);
  SafetyCopyChoice choice{*picked};
  if (IsTheDatabaseItself(choice.path, databaseFile))
    throw Exception(kCopyOntoItself);
  // The rebuild deletes its own files beside the database and in the work folder.
  if (NamesAScratchFile(choice.path, databaseFile))
    throw Exception(Format(kCopyOnScratchName, {choice.path}));
  EnsureRoomForRepair(databaseFile, choice.path);
  if (os::FileExists(choice.path)) {
    choice.keepEarlier = NamesABackup(choice.path);
    if (!choice.keepEarlier)
      ConfirmReplacing(dialogs, choice.path);
  }
  return choice;
}

void SaveSafetyCopy(const SafetyCopyChoice& choice, const std::string& source) {
  CopyUnderViewer(source, choice.path, choice.keepEarlier);
  SessionLog().Write(kCopyMade + choice.path, llPlain);
}
