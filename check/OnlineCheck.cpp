#include "check/OnlineCheck.h"

#include <cstddef>
#include <initializer_list>
#include <vector>

#include "check/CheckMessages.h"
#include "check/ValidateDatabase.h"
#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "progress/ProgressViewer.h"
#include "progress/ScopedProgressViewer.h"
#include "server/FbOnlineValidation.h"
#include "server/ServerLogin.h"

namespace {

// A till waits at most this long for a table while it is read; a table held longer by a
// writing till is tried again, with a little more patience, before it is given up.
constexpr int kLockTimeoutSeconds = 1;
constexpr int kRetryLockTimeoutSeconds = 2;
constexpr int kBusyRetries = 3;
// The server's own lines kept in the log per damaged table; a cut file gives hundreds.
constexpr std::size_t kLoggedDetails = 20;

constexpr int kTableLine = 10;
constexpr int kCancelledLine = 15;

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines)
    text += (text.empty() ? "" : "\r\n") + line;
  return text;
}

// Lines of the progress window: green, bold, 12 points, left, no wrap (as the trial backup's).
void ShowStatusLine(TProgressViewer& viewer, int number, const std::string& text) {
  viewer.SetString(number, text, /*Alignment=*/0, /*WordWrap=*/false, /*Color=*/0x008000,
                   /*FontStyle=*/1, /*FontSize=*/12, /*FontName=*/"");
}

std::vector<std::string> NamesIn(const std::vector<TableVerdict>& tables, TableState state) {
  std::vector<std::string> names;
  for (const TableVerdict& table : tables)
    if (table.state == state)
      names.push_back(table.name);
  return names;
}

// Puts the verdicts of a retry in the places of the busy ones they answer.
void Merge(std::vector<TableVerdict>& tables, const std::vector<TableVerdict>& retried) {
  for (const TableVerdict& again : retried)
    for (TableVerdict& table : tables)
      if (table.name == again.name)
        table = again;
}

std::vector<TableVerdict> RunValidation(TProgressViewer& viewer, const std::string& databaseFile) {
  OnlineValidationRequest request;
  request.login = LocalServerLogin();
  request.databaseFile = databaseFile;
  request.lockTimeoutSeconds = kLockTimeoutSeconds;
  std::string shown;
  auto progress = [&viewer, &shown](const std::string& table) {
    if (!table.empty() && table != shown) {
      ShowStatusLine(viewer, kTableLine, checktext::kTableBeingChecked + table);
      shown = table;
    }
    viewer.CheckCancel();
  };
  std::vector<TableVerdict> tables = RunOnlineValidation(request, progress).Tables();
  for (int retry = 0; retry < kBusyRetries; ++retry) {
    request.tables = NamesIn(tables, TableState::Busy);
    if (request.tables.empty())
      break;
    request.lockTimeoutSeconds = kRetryLockTimeoutSeconds;
    Merge(tables, RunOnlineValidation(request, progress).Tables());
  }
  return tables;
}

// The validation under a cancellable progress window, closed on every path.
std::vector<TableVerdict> ValidateTables(const std::string& databaseFile,
                                         const std::string& caption) {
  ScopedProgressViewer viewer(caption, /*showPercent=*/false, /*canCancel=*/true);
  try {
    return RunValidation(*viewer, databaseFile);
  } catch (const EProgressCancelByUser&) {
    ShowStatusLine(*viewer, kCancelledLine, checktext::kCancelledLine);
    throw;
  }
}

void LogVerdicts(const std::vector<TableVerdict>& tables) {
  for (const TableVerdict& table : tables) {
    const std::string head = checktext::kTableHead + table.name + ": ";
    switch (table.state) {
      case TableState::Ok:
        SessionLog().Write(head + checktext::kTableClean, llPlain);
        break;
      case TableState::Busy:
        SessionLog().Write(head + checktext::kTableBusy, llPlain);
        break;
      case TableState::Damaged: {
        std::string text = head + checktext::kTableDamaged + std::to_string(table.errors);
        for (std::size_t i = 0; i < table.details.size() && i < kLoggedDetails; ++i)
          text += "\r\n" + table.details[i];
        if (table.details.size() > kLoggedDetails)
          text += checktext::kMoreLines + std::to_string(table.details.size() - kLoggedDetails);
        SessionLog().Write(text, llError);
        break;
      }
    }
  }
}

std::string DamagedList(const std::vector<TableVerdict>& tables, const std::string& indent,
                        const std::string& separator) {
  std::string text;
  for (const TableVerdict& table : tables) {
    if (table.state != TableState::Damaged)
      continue;
    text += (text.empty() ? "" : separator) + indent + table.name + checktext::kErrorCount +
            std::to_string(table.errors) + ")";
  }
  return text;
}

std::string NameList(const std::vector<std::string>& names, const std::string& indent,
                     const std::string& separator) {
  std::string text;
  for (const std::string& name : names)
    text += (text.empty() ? "" : separator) + indent + name;
  return text;
}

std::string CoverageNote() {
  return checktext::kCoverageNote;
}

void ShowVerdict(OperatorDialogs& dialogs, const std::vector<TableVerdict>& tables) {
  const std::vector<std::string> busy = NamesIn(tables, TableState::Busy);
  const std::string busyLines =
      busy.empty() ? ""
                   : Lines({checktext::kBusyTables, NameList(busy, "    ", "\r\n")}) + "\r\n\r\n";
  if (!NamesIn(tables, TableState::Damaged).empty()) {
    dialogs.ShowMessage(checktext::kDamagedCaption,
                        Lines({checktext::kDamagedTables, DamagedList(tables, "    ", "\r\n")}) +
                            "\r\n\r\n" + busyLines + CoverageNote() + "\r\n\r\n" +
                            checktext::kRepairAdvice,
                        DialogButtons::Ok, DialogIcon::Warning);
  } else if (!busy.empty()) {
    dialogs.ShowMessage(
        checktext::kWarningCaption,
        std::string(checktext::kNotAllChecked) + "\r\n\r\n" + busyLines + CoverageNote(),
        DialogButtons::Ok, DialogIcon::Warning);
  } else {
    dialogs.ShowMessage(checktext::kInformationCaption,
                        std::string(checktext::kNoDamageFound) + "\r\n\r\n" + CoverageNote(),
                        DialogButtons::Ok, DialogIcon::Information);
  }
}

}  // namespace

bool IsDatabaseInUseError(const std::exception& e) {
  return dynamic_cast<const EDatabaseInUse*>(&e) != nullptr;
}

bool CheckWhileInUse(WorkflowContext& context) {
  const DialogResult answer = context.dialogs.ShowMessage(
      checktext::kInUseCaption, Lines({DatabaseInUseMessage() + ".", "", checktext::kOnlineOffer}),
      DialogButtons::YesNo, DialogIcon::Information, /*defaultButton=*/1);
  if (answer != DialogResult::Yes)
    return false;
  SessionLog().Write(checktext::kOnlineStart, llPlain);
  std::vector<TableVerdict> tables;
  try {
    tables = ValidateTables(context.databaseFile(), checktext::kOnlineCaption);
  } catch (const std::exception& e) {
    SessionLog().Write(std::string(checktext::kOnlineError) + e.what(), llError);
    if (dynamic_cast<const EProgressCancelByUser*>(&e) != nullptr)
      throw;
    context.dialogs.ShowMessage(
        checktext::kErrorCaption,
        Lines({checktext::kOnlineFailedHead, e.what(), "", checktext::kFullCheckAdvice}),
        DialogButtons::Ok, DialogIcon::Error);
    return true;
  }
  LogVerdicts(tables);
  SessionLog().Write(checktext::kOnlineDone, llPlain);
  ShowVerdict(context.dialogs, tables);
  return true;
}

std::string DamagedTablesReport(const std::string& databaseFile) {
  std::vector<TableVerdict> tables;
  try {
    tables = ValidateTables(databaseFile, checktext::kDamagedTablesCaption);
  } catch (const std::exception& e) {
    SessionLog().Write(std::string(checktext::kDamagedTablesUnknown) + e.what(), llPlain);
    return "";
  }
  LogVerdicts(tables);
  std::string report;
  const std::string damaged = DamagedList(tables, "", ", ");
  if (damaged.empty()) {
    report += checktext::kNoDamagedTables;
  } else {
    report += checktext::kDamagedTablesAre + damaged + "\r\n";
  }
  const std::vector<std::string> busy = NamesIn(tables, TableState::Busy);
  if (!busy.empty())
    report += checktext::kTablesNotChecked + NameList(busy, "", ", ") + "\r\n";
  return report;
}
