#include "repair/Leftovers.h"

#include <cctype>

#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/Files.h"
#include "os/Format.h"
#include "os/SystemError.h"
#include "repair/OutOfReach.h"
#include "repair/RebuildDatabase.h"
#include "repair/RepairMessages.h"
#include "server/FixedPaths.h"

using namespace repairtext;

namespace {

void RemoveMatching(const std::string& folder, const std::string& pattern,
                    bool (*matches)(const std::string&)) {
  for (const os::DirEntry& entry : os::FindEntries(os::IncludeTrailingDelimiter(folder) + pattern))
    if (!entry.isDirectory && (!matches || matches(entry.name)))
      os::RemoveFile(os::IncludeTrailingDelimiter(folder) + entry.name);
}

void Tell(OperatorDialogs& dialogs, const std::string& text) {
  dialogs.ShowMessage(kOldFileCaption, text, DialogButtons::Ok, DialogIcon::Warning);
}

bool AllDigits(const std::string& text) {
  if (text.empty())
    return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c)))
      return false;
  return true;
}

}  // namespace

bool IsPartialCopyName(const std::string& fileName) {
  const std::string tail = ".tmp";
  if (fileName.size() <= tail.size() ||
      fileName.compare(fileName.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  const std::string stem = fileName.substr(0, fileName.size() - tail.size());
  const std::size_t dot = stem.rfind('.');
  if (dot == std::string::npos || dot == 0)
    return false;
  const std::string number = stem.substr(dot + 1);
  const std::size_t dash = number.find('-');
  return dash == std::string::npos
             ? AllDigits(number)
             : AllDigits(number.substr(0, dash)) && AllDigits(number.substr(dash + 1));
}

void CheckRepairLeftovers(OperatorDialogs& dialogs, const std::string& databaseFile) {
  RemoveMatching(paths::WorkDirectory(), "DBRepairBat*.bat", nullptr);
  RemoveMatching(paths::SafetyCopyFolder(), "*.tmp", IsPartialCopyName);
  if (databaseFile.empty())
    return;
  const std::string workFile = WorkFilePath(databaseFile);
  const bool atItsPath = os::FileExists(databaseFile);
  if (!atItsPath && os::FileExists(workFile)) {
    // The work name holds the database as the repair left it: nothing else can be meant.
    if (PutBackFromWorkName(databaseFile)) {
      SessionLog().Write(kPutBackAtStartRecord + databaseFile, llPlain);
      Tell(dialogs, Format(kPutBackAtStart, {databaseFile}));
    } else {
      Tell(dialogs, Format(kPutBackByHand, {os::LastErrorText(), workFile, databaseFile}));
    }
  } else if (!atItsPath && os::FileExists(RestoredFilePath(databaseFile))) {
    Tell(dialogs, Format(kRestoredLeftAtStart,
                         {databaseFile, RestoredFilePath(databaseFile), databaseFile}));
  } else if (atItsPath && os::FileExists(workFile)) {
    Tell(dialogs, Format(kWorkFileLeft, {workFile}));
  }
}
