#include "repair/TableSalvage.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "log/SessionLog.h"
#include "os/CodePage.h"
#include "os/Exception.h"
#include "os/Format.h"
#include "progress/ScopedProgressViewer.h"
#include "repair/KeyRepair.h"
#include "repair/ReadableRows.h"
#include "repair/RebuildDatabase.h"
#include "repair/RebuildOptions.h"
#include "repair/RepairMessages.h"
#include "repair/RepairRowCounts.h"
#include "server/ServerLogin.h"

using sessionlog::Record;

using namespace repairtext;

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

// At most this many keys in a record; the rest are counted.
constexpr std::size_t kKeysNamed = 20;

bool OperatorAgrees(OperatorDialogs& dialogs, const std::vector<std::string>& tables,
                    const std::string& safetyCopy, const std::vector<std::string>& referred,
                    bool partly) {
  const DialogResult answer =
      dialogs.ShowMessage(kSalvageCaption, SalvageQuestion(tables, safetyCopy, referred, partly),
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
    Record(kReferencesUnread + e.Message());
    return {};
  }
}

fbsql::Login Login() {
  return {LocalServerLogin()};
}

// Whether some of `tables` can be read range by range, so that the rebuild gets back what
// of their rows can still be read.
bool ReadableByRanges(const std::string& databaseFile, const std::vector<std::string>& tables) {
  try {
    fbsql::Connection db(Login(), databaseFile);
    return std::any_of(tables.begin(), tables.end(), [&db](const std::string& table) {
      return readablerows::KeyOf(db, table).has_value();
    });
  } catch (const Exception&) {
    return false;
  }
}

std::string KeyList(const std::string& column, const std::vector<std::string>& keys) {
  std::string list;
  for (std::size_t i = 0; i < keys.size() && i < kKeysNamed; ++i)
    list += (i == 0 ? column + " = " : "; ") + keys[i];
  if (keys.size() > kKeysNamed)
    list += Format(kMoreKeys, {static_cast<std::int64_t>(keys.size() - kKeysNamed)});
  return list;
}

std::string CopyRecord(const std::string& table, const readablerows::RangeKey& key,
                       const readablerows::CopiedRows& rows) {
  std::string text =
      rows.finished ? Format(kCopiedRows,
                             {table, rows.copied, static_cast<std::int64_t>(rows.lostKeys.size())})
                    : Format(kCopiedRowsUnfinished, {table, rows.copied});
  if (!rows.lostKeys.empty())
    text += kLostKeys + KeyList(key.column, rows.lostKeys);
  for (std::size_t i = 0; i < rows.refusals.size() && i < kKeysNamed; ++i)
    text += kRefusedRow + key.column + " = " + rows.refusals[i];
  if (!rows.error.empty())
    text += kRowCopyStopped + rows.error;
  return text;
}

// Placeholders whose keys got their real rows back are placeholders no more; returns how
// many.
std::int64_t DropReplacedPlaceholders(KeyRepairPlan& keys, const std::string& table,
                                      const std::vector<std::string>& copiedKeys) {
  std::int64_t replaced = 0;
  for (auto& placeholders : keys.placeholders)
    if (placeholders.table == table)
      replaced += static_cast<std::int64_t>(
          std::erase_if(placeholders.keys, [&copiedKeys](const std::string& key) {
            return std::find(copiedKeys.begin(), copiedKeys.end(), key) != copiedKeys.end();
          }));
  std::erase_if(keys.placeholders,
                [](const auto& placeholders) { return placeholders.keys.empty(); });
  return replaced;
}

// Copies into the rebuilt file what can still be read of the tables rebuilt without rows.
// Without a client library or an attachment the tables stay as the rebuild left them.
std::map<std::string, PartlyCopied> CopyReadableRows(const std::string& databaseFile,
                                                     const std::string& restoredFile,
                                                     const std::vector<std::string>& tables,
                                                     KeyRepairPlan& keys) {
  std::map<std::string, PartlyCopied> copied;
  if (tables.empty())
    return copied;
  fbsql::Login source = Login();
  source.noGarbageCollect = true;
  std::unique_ptr<fbsql::Connection> target;
  try {
    target = std::make_unique<fbsql::Connection>(Login(), restoredFile);
  } catch (const Exception& e) {
    Record(kRowCopyFailed + e.Message());
    return copied;
  }
  ScopedProgressViewer viewer(kRowCopyCaption, /*showPercent=*/false, /*canCancel=*/false);
  for (const std::string& table : tables) {
    std::optional<readablerows::RangeKey> key;
    try {
      key = readablerows::KeyOf(*target, table);
    } catch (const EFirebirdError& e) {
      Record(kRowCopyFailed + e.Message());
      continue;
    }
    if (!key) {
      Record(Format(kNoRangeKey, {table}));
      continue;
    }
    viewer->SetString(10, table, 0, false, 0x008000, 1, 12, "");
    readablerows::CopiedRows rows;
    try {
      rows = readablerows::Copy(source, databaseFile, *target, table, *key,
                                [&viewer, &table](std::int64_t done) {
                                  viewer->SetString(10, table + ": " + std::to_string(done), 0,
                                                    false, 0x008000, 1, 12, "");
                                });
    } catch (const EFirebirdError& e) {
      // The shop's triggers of the rebuilt file are off: it must not take the database's place.
      Record(kRowCopyFailed + e.Message());
      throw Exception(repairtext::RestoreFailedMessage());
    }
    const std::int64_t replaced = DropReplacedPlaceholders(keys, table, rows.copiedKeys);
    Record(CopyRecord(table, *key, rows) +
           (replaced > 0 ? Format(kPlaceholdersReplaced, {replaced}) : std::string()));
    copied[table] = {rows.copied, static_cast<std::int64_t>(rows.lostKeys.size()), rows.finished};
  }
  return copied;
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
  const std::string& original = workFile.empty() ? databaseFile : workFile;
  std::vector<std::string> skipped;
  std::map<std::string, PartlyCopied> partly;
  bool copyBack = false;  // the operator was told that readable rows come back
  options.afterRestore = [&](const std::string& restoredFile) {
    if (copyBack)
      partly = salvage::CopyReadableRows(original, restoredFile, skipped, keys);
  };
  options.beforeReplacement = [&report, &keys, &partly](const std::string& restoredFile) {
    report.MarkPartlyCopied(partly);
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
  options.afterFailedRestore = [&](const std::string& backupFile, const std::string& restored) {
    return MendKeysOfRebuild(dialogs, original, backupFile, restored, safetyCopy, keys);
  };
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
      copyBack = salvage::ReadableByRanges(original, tables);
      if (!salvage::OperatorAgrees(dialogs, tables, safetyCopy, referred, copyBack)) {
        Record(kSalvageRefused);
        throw;
      }
      Record(kSalvageStart + salvage::Joined(tables, ", "));
      skipped = tables;
      keys.agreedPlaceholders = referred;
      options.skipDataPattern = pattern;
    }
  }
}
