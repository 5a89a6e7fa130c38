#include "repair/TableSalvage.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/CodePage.h"
#include "os/Exception.h"
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
                    const std::string& safetyCopy, const std::vector<std::string>& referred) {
  const DialogResult answer =
      dialogs.ShowMessage(kQuestionCaption, QuestionText(tables, safetyCopy, referred),
                          DialogButtons::YesNo, DialogIcon::Warning,
                          /*defaultButton=*/1);
  return answer == DialogResult::Yes;
}

// Without an answer the question promises nothing, and the key repair asks its own.
std::vector<std::string> Referred(const std::string& databaseFile,
                                  const std::vector<std::string>& tables) {
  try {
    return ReferredTables(databaseFile, tables);
  } catch (const Exception& e) {
    SessionLog().Write("Не удалось прочитать ссылки между таблицами: " + e.Message(), llPlain);
    return {};
  }
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

std::string QuestionText(const std::vector<std::string>& tables, const std::string& safetyCopy,
                         const std::vector<std::string>& referred) {
  // The marking of damaged pages may already have dropped records of other tables: the
  // question promises nothing about them beyond what the rebuild keeps.
  const bool one = tables.size() == 1;
  return std::string(
             one ? "Не удалось сделать резервную копию базы данных: не читается таблица\r\n"
                 : "Не удалось сделать резервную копию базы данных: не читаются таблицы\r\n") +
         Joined(tables, ", ") + "\r\n" +
         (one ? "Базу данных можно восстановить без записей этой таблицы: она окажется пустой.\r\n"
              : "Базу данных можно восстановить без записей этих таблиц: они окажутся "
                "пустыми.\r\n") +
         "Остальные таблицы будут восстановлены с теми записями, которые\r\n"
         "удалось прочитать после маркировки поврежденных страниц.\r\n" +
         (referred.empty()       ? std::string()
          : referred.size() == 1 ? "На записи таблицы " + referred[0] +
                                       " ссылаются другие таблицы. Чтобы их записи\r\n"
                                       "сохранились, в нее будут добавлены записи-заглушки.\r\n"
                                 : "На записи таблиц " + Joined(referred, ", ") +
                                       " ссылаются другие таблицы. Чтобы их записи\r\n"
                                       "сохранились, в них будут добавлены записи-заглушки.\r\n") +
         "Поврежденная база данных останется в копии:\r\n" + safetyCopy + "\r\n" +
         (one ? "Восстановить базу данных без записей этой таблицы?"
              : "Восстановить базу данных без записей этих таблиц?");
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
  KeyRepairPlan keys;
  options.beforeReplacement = [&report, &keys](const std::string& restoredFile) {
    report.SetAfter(CountRowsForRepair(restoredFile));
    std::map<std::string, std::int64_t> placeholders;
    if (keys.applied)
      for (const auto& p : keys.placeholders)
        placeholders[p.table] = static_cast<std::int64_t>(p.keys.size());
    report.MarkPlaceholders(std::move(placeholders));
    RecordRowFigures(report);
  };
  // Keys and references that no longer hold in the rebuilt file are mended there.
  // The indexes that were active are read from the database where it sits during the repair.
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
      const std::vector<std::string> referred = salvage::Referred(original, tables);
      if (!salvage::OperatorAgrees(dialogs, tables, safetyCopy, referred)) {
        SessionLog().Write(salvage::kSalvageRefused, llPlain);
        throw;
      }
      SessionLog().Write(salvage::kSalvageStart + salvage::Joined(tables, ", "), llPlain);
      skipped = tables;
      keys.agreedPlaceholders = referred;
      options.skipDataPattern = pattern;
    }
  }
}
