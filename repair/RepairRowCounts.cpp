#include "repair/RepairRowCounts.h"

#include <memory>
#include <stop_token>

#include "log/SessionLog.h"
#include "os/CodePage.h"
#include "os/Exception.h"
#include "os/File.h"
#include "os/Format.h"
#include "os/SystemError.h"
#include "os/Time.h"
#include "progress/ProgressViewer.h"
#include "progress/ScopedProgressViewer.h"
#include "repair/RepairMessages.h"
#include "server/ServerLogin.h"

using sessionlog::Record;
using sessionlog::TimeStamp;

using namespace repairtext;

namespace {

// The report in the system's code page, so that the plainest text viewer shows it.
bool WriteReportFile(const std::string& path, const std::string& utf8, std::string* error) {
  auto file = os::File::Open(path, os::File::Mode::CreateExclusive);
  if (!file) {
    *error = os::LastErrorText();
    return false;
  }
  try {
    const std::string bytes = os::Utf8ToAnsi(utf8);
    file->Write(bytes.data(), bytes.size());
    file->Close();
  } catch (const Exception& e) {
    *error = e.Message();
    return false;
  }
  return true;
}

}  // namespace

rowcount::TableRowCounts CountRowsForRepair(const std::string& databaseFile) {
  rowcount::TableRowCounts counts;
  // Cancelling skips only the figures: the repair goes on and the final box says they are
  // missing. The source outlives this call, as the viewer's thread may still call in.
  auto stop = std::make_shared<std::stop_source>();
  {
    ScopedProgressViewer viewer(kCountCaption, /*showPercent=*/false, /*canCancel=*/true);
    viewer->SetOnCancel([stop](TProgressViewer&) { stop->request_stop(); });
    try {
      const rowcount::Login login = LocalServerLogin();
      counts = rowcount::CountTableRows(
          login, databaseFile,
          [&viewer](const std::string& table) {
            viewer->SetString(10, table, 0, false, 0x008000, 1, 12, "");
          },
          stop->get_token());
    } catch (const Exception& e) {
      counts.tables.clear();
      counts.error = e.Message();
    }
  }
  if (counts.cancelled || stop->stop_requested()) {
    Record(kCountCancelled);
    counts.tables.clear();
    counts.error = kCountCancelled;
    return counts;
  }
  if (counts.error)
    Record(Format(kCountFailed, {databaseFile, *counts.error}));
  for (const auto& table : counts.tables)
    if (!table.rows)
      Record(Format(kTableCountFailed, {table.table, databaseFile, table.error}));
  return counts;
}

void RecordRowFigures(const RowReport& report) {
  for (const TableChange& change : report.Tables())
    Record(TableRowsRecord(change));
}

void ReportRowLosses(OperatorDialogs& dialogs, const RowReport& report,
                     const std::string& databaseFile, const std::string& safetyCopy) {
  const std::vector<TableChange> tables = report.Tables();
  const std::vector<TableChange> losses = report.Losses();
  const MissingCounts missing = report.Missing();
  if (losses.empty() && !missing.Any())
    return;
  // Without a figure there is no table to list: the box says so, and a file would say no more.
  if (losses.empty()) {
    dialogs.ShowMessage(kRowLossCaption, RowLossBoxText({}, "", missing), DialogButtons::Ok,
                        DialogIcon::Warning);
    return;
  }
  std::string reportFile = rowreporttext::FilePath(safetyCopy);
  std::string error;
  if (WriteReportFile(reportFile,
                      RowReportFileText(tables, databaseFile, safetyCopy, TimeStamp(), missing),
                      &error)) {
    Record(kReportSaved + reportFile);
  } else {
    Record(Format(kReportNotSaved, {reportFile, error}));
    reportFile.clear();
  }
  dialogs.ShowMessage(kRowLossCaption, RowLossBoxText(losses, reportFile, missing),
                      DialogButtons::Ok, DialogIcon::Warning);
}
