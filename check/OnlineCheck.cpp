#include "check/OnlineCheck.h"

#include <cstddef>
#include <initializer_list>
#include <vector>

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
      ShowStatusLine(viewer, kTableLine, "Проверяется таблица " + table);
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
    ShowStatusLine(*viewer, kCancelledLine, "Прервано пользователем!");
    throw;
  }
}

void LogVerdicts(const std::vector<TableVerdict>& tables) {
  for (const TableVerdict& table : tables) {
    const std::string head = "Таблица " + table.name + ": ";
    switch (table.state) {
      case TableState::Ok:
        SessionLog().Write(head + "повреждений нет", llPlain);
        break;
      case TableState::Busy:
        SessionLog().Write(head + "занята другими программами, проверить не удалось", llPlain);
        break;
      case TableState::Damaged: {
        std::string text = head + "повреждена, ошибок: " + std::to_string(table.errors);
        for (std::size_t i = 0; i < table.details.size() && i < kLoggedDetails; ++i)
          text += "\r\n" + table.details[i];
        if (table.details.size() > kLoggedDetails)
          text += "\r\n... и еще строк: " + std::to_string(table.details.size() - kLoggedDetails);
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
    text += (text.empty() ? "" : separator) + indent + table.name +
            " (ошибок: " + std::to_string(table.errors) + ")";
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
  return Lines({"Таблицы проверялись при работающих программах. Системные таблицы,",
                "заголовок базы данных и страницы транзакций так не проверяются: для",
                "полной проверки закройте все программы, работающие с базой данных,",
                "и нажмите \"Проверить\" еще раз.",
                "Резервная копия для проверки не создавалась, т.к. база данных",
                "используется другими программами."});
}

void ShowVerdict(OperatorDialogs& dialogs, const std::vector<TableVerdict>& tables) {
  const std::vector<std::string> busy = NamesIn(tables, TableState::Busy);
  const std::string busyLines =
      busy.empty() ? ""
                   : Lines({"Не удалось проверить таблицы, занятые другими программами:",
                            NameList(busy, "    ", "\r\n")}) +
                         "\r\n\r\n";
  if (!NamesIn(tables, TableState::Damaged).empty()) {
    dialogs.ShowMessage(
        "Внимание! База повреждена!",
        Lines({"Проверка без закрытия программ обнаружила повреждения в таблицах:",
               DamagedList(tables, "    ", "\r\n")}) +
            "\r\n\r\n" + busyLines + CoverageNote() + "\r\n\r\n" +
            Lines({"Рекомендуется закрыть все программы, работающие с базой данных,",
                   "и выполнить ремонт базы данных"}),
        DialogButtons::Ok, DialogIcon::Warning);
  } else if (!busy.empty()) {
    dialogs.ShowMessage("Внимание!",
                        Lines({"Проверка без закрытия программ не обнаружила повреждений,",
                               "но проверены не все таблицы."}) +
                            "\r\n\r\n" + busyLines + CoverageNote(),
                        DialogButtons::Ok, DialogIcon::Warning);
  } else {
    dialogs.ShowMessage(
        "Информация",
        Lines({"Проверка без закрытия программ не обнаружила", "повреждений в таблицах!"}) +
            "\r\n\r\n" + CoverageNote(),
        DialogButtons::Ok, DialogIcon::Information);
  }
}

}  // namespace

bool IsDatabaseInUseError(const std::exception& e) {
  return dynamic_cast<const EDatabaseInUse*>(&e) != nullptr;
}

bool CheckWhileInUse(WorkflowContext& context) {
  const DialogResult answer = context.dialogs.ShowMessage(
      "База данных используется",
      Lines({DatabaseInUseMessage() + ".", "",
             "Программа может проверить таблицы базы данных, не закрывая других",
             "программ. Пока читается каждая таблица, продажи могут на мгновение",
             "приостанавливаться.", "", "Проверить базу данных, не закрывая программ?"}),
      DialogButtons::YesNo, DialogIcon::Information, /*defaultButton=*/1);
  if (answer != DialogResult::Yes)
    return false;
  SessionLog().Write("Начало проверки базы данных без закрытия программ", llPlain);
  std::vector<TableVerdict> tables;
  try {
    tables =
        ValidateTables(context.databaseFile(), "Проверка базы данных без закрытия программ...");
  } catch (const std::exception& e) {
    SessionLog().Write(std::string("Ошибка проверки без закрытия программ: ") + e.what(), llError);
    if (dynamic_cast<const EProgressCancelByUser*>(&e) != nullptr)
      throw;
    context.dialogs.ShowMessage(
        "Ошибка",
        Lines({"В ходе проверки базы данных без закрытия программ", "произошла ошибка: ", e.what(),
               "", "Для полной проверки закройте все программы, работающие с базой",
               "данных, и нажмите \"Проверить\" еще раз."}),
        DialogButtons::Ok, DialogIcon::Error);
    return true;
  }
  LogVerdicts(tables);
  SessionLog().Write("Проверка без закрытия программ завершена", llPlain);
  ShowVerdict(context.dialogs, tables);
  return true;
}

std::string DamagedTablesReport(const std::string& databaseFile) {
  std::vector<TableVerdict> tables;
  try {
    tables = ValidateTables(databaseFile, "Поиск поврежденных таблиц...");
  } catch (const std::exception& e) {
    SessionLog().Write(std::string("Не удалось определить поврежденные таблицы: ") + e.what(),
                       llPlain);
    return "";
  }
  LogVerdicts(tables);
  std::string report;
  const std::string damaged = DamagedList(tables, "", ", ");
  if (damaged.empty()) {
    report += "Проверка по таблицам не нашла повреждений в таблицах с данными\r\n";
  } else {
    report += "Повреждены таблицы: " + damaged + "\r\n";
  }
  const std::vector<std::string> busy = NamesIn(tables, TableState::Busy);
  if (!busy.empty())
    report += "Не удалось проверить таблицы: " + NameList(busy, "", ", ") + "\r\n";
  return report;
}
