#include "repair/TableSalvage.h"

#include <algorithm>
#include <cstring>

#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/CodePage.h"
#include "repair/KeyRepair.h"
#include "repair/RebuildDatabase.h"
#include "repair/RebuildOptions.h"
#include "repair/RepairRowCounts.h"

namespace salvage {

namespace {

// Each rebuild without some tables' rows costs a backup and a restore; a database with more
// unreadable tables than this is beyond what the repair can promise.
constexpr int kMostSalvageAttempts = 3;

constexpr char kSimilarToSpecials[] = "\\%_[]^-|*+?{}()";

std::string Joined(const std::vector<std::string>& tables, const char* separator) {
  std::string text;
  for (const std::string& table : tables)
    text += (text.empty() ? "" : separator) + table;
  return text;
}

// The tables not yet left out that still cannot be read; empty when there is nothing more
// a rebuild without rows could mend.
std::vector<std::string> NewlyUnreadable(const rowcount::TableRowCounts& counts,
                                         const std::vector<std::string>& skipped) {
  std::vector<std::string> found = UnreadableTables(counts);
  std::erase_if(found, [&skipped](const std::string& table) {
    return std::find(skipped.begin(), skipped.end(), table) != skipped.end();
  });
  return found;
}

bool OperatorAgrees(OperatorDialogs& dialogs, const std::vector<std::string>& tables,
                    const std::string& safetyCopy) {
  const DialogResult answer =
      dialogs.ShowMessage(kQuestionCaption, QuestionText(tables, safetyCopy), DialogButtons::YesNo,
                          DialogIcon::Warning, /*defaultButton=*/1);
  return answer == DialogResult::Yes;
}

}  // namespace

std::vector<std::string> UnreadableTables(const rowcount::TableRowCounts& counts) {
  std::vector<std::string> tables;
  for (const auto& table : counts.tables)
    if (!table.rows)
      tables.push_back(table.table);
  return tables;
}

std::string SkipDataPattern(const std::vector<std::string>& tables,
                            const std::vector<std::string>& allTables) {
  for (const std::string& other : allTables) {
    const bool skipped = std::find(tables.begin(), tables.end(), other) != tables.end();
    for (const std::string& table : tables)
      if (!skipped && os::UpperCase(other) == os::UpperCase(table))
        return {};
  }
  std::string alternatives;
  for (const std::string& table : tables) {
    // A double quote cannot stand inside a quoted argument of a batch file.
    const bool passable = !table.empty() && std::none_of(table.begin(), table.end(), [](char c) {
      return c == '"' || static_cast<unsigned char>(c) < 0x20;
    });
    if (!passable)
      return {};
    if (!alternatives.empty())
      alternatives += '|';
    for (char c : table) {
      if (std::strchr(kSimilarToSpecials, c) != nullptr)
        alternatives += '\\';
      alternatives += c;
    }
  }
  return tables.size() > 1 ? "(" + alternatives + ")" : alternatives;
}

std::string QuestionText(const std::vector<std::string>& tables, const std::string& safetyCopy) {
  return "Не удалось сделать резервную копию базы данных: не читаются таблицы\r\n" +
         Joined(tables, ", ") +
         "\r\n"
         "Базу данных можно восстановить без записей этих таблиц. Все остальные\r\n"
         "данные будут сохранены, а эти таблицы окажутся пустыми.\r\n"
         "Поврежденная база данных останется в копии:\r\n" +
         safetyCopy +
         "\r\n"
         "Восстановить базу данных без записей этих таблиц?";
}

}  // namespace salvage

void RebuildSavingWhatCan(OperatorDialogs& dialogs, const std::string& databaseFile,
                          const std::string& workFile, const std::string& safetyCopy,
                          RowReport& report) {
  RebuildOptions options;
  options.safetyCopy = safetyCopy;
  options.workFile = workFile;
  // The figures go to the log before the replacement, so that they are there even when the
  // operator has to put the rebuilt file in place by hand.
  options.beforeReplacement = [&report](const std::string& restoredFile) {
    report.SetAfter(CountRowsForRepair(restoredFile));
    RecordRowFigures(report);
  };
  // Keys and references that no longer hold in the rebuilt file are mended there.
  // The indexes that were active are read from the database where it sits during the repair.
  KeyRepairPlan keys;
  const std::string& original = workFile.empty() ? databaseFile : workFile;
  options.afterFailedRestore = [&](const std::string& backupFile, const std::string& restored) {
    return MendKeysOfRebuild(dialogs, original, backupFile, restored, safetyCopy, keys);
  };
  std::vector<std::string> skipped;
  for (int attempt = 0;; ++attempt) {
    try {
      report.MarkEmptied(skipped);
      RebuildDatabase(dialogs, databaseFile, options);
      ReportKeyRepair(dialogs, keys);
      return;
    } catch (const EBackupUnfinished&) {
      if (attempt >= salvage::kMostSalvageAttempts)
        throw;
      const rowcount::TableRowCounts mended = CountRowsForRepair(workFile);
      const std::vector<std::string> unreadable = salvage::NewlyUnreadable(mended, skipped);
      if (unreadable.empty())
        throw;
      std::vector<std::string> tables = skipped;
      tables.insert(tables.end(), unreadable.begin(), unreadable.end());
      std::vector<std::string> allTables;
      for (const auto& table : mended.tables)
        allTables.push_back(table.table);
      const std::string pattern = salvage::SkipDataPattern(tables, allTables);
      if (pattern.empty())
        throw;
      if (!salvage::OperatorAgrees(dialogs, tables, safetyCopy)) {
        SessionLog().Write(salvage::kSalvageRefused, llPlain);
        throw;
      }
      SessionLog().Write(salvage::kSalvageStart + salvage::Joined(tables, ", "), llPlain);
      skipped = tables;
      options.skipDataPattern = pattern;
    }
  }
}
