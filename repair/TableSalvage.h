// Saving what can be saved when the rebuild's backup stops at a table that cannot be read at
// all: with the operator's consent the database is rebuilt without that table's rows, so
// every other table survives. The safety copy keeps the original.
#pragma once

#include <string>
#include <vector>

#include "check/OperatorDialogs.h"
#include "repair/RowReport.h"
#include "server/FbRowCounter.h"

// Runs the rebuild stage; when its backup stops and some tables of the mended database
// cannot be counted, offers to rebuild without their rows (and again, a few times at most,
// when another table stops the next backup). Counts the restored file into `report` and
// marks the emptied tables there. Every other ending is the rebuild's own. `workFile` is
// where the database sits meanwhile (see RebuildOptions).
void RebuildSavingWhatCan(OperatorDialogs& dialogs, const std::string& databaseFile,
                          const std::string& workFile, const std::string& safetyCopy,
                          RowReport& report);

namespace salvage {

// The tables whose count failed.
std::vector<std::string> UnreadableTables(const rowcount::TableRowCounts& counts);
// gbak -skip_data takes a SIMILAR TO pattern (backslash escapes, letter case ignored) that
// must match a whole table name: "(ORDERS|SALES\_ITEMS)". Empty when a name cannot be passed
// through a command line unchanged, or when the pattern would also match one of `allTables`
// that is not to be skipped (a name differing only in letter case).
std::string SkipDataPattern(const std::vector<std::string>& tables,
                            const std::vector<std::string>& allTables);
// The Yes/No question (default No). `referred`: those of `tables` other tables refer to,
// whose referring rows keep their keys through placeholders. `partly`: the rows of some of
// them that can still be read will be copied back.
std::string QuestionText(const std::vector<std::string>& tables, const std::string& safetyCopy,
                         const std::vector<std::string>& referred = {}, bool partly = false);

inline constexpr const char* kQuestionCaption = "Внимание!";
// Session log records.
inline constexpr const char* kSalvageStart =
    "Будет выполнено восстановление базы данных без записей таблиц: ";
inline constexpr const char* kSalvageRefused =
    "Восстановление базы данных без записей таблиц отклонено пользователем";

// Copying back the rows that can still be read.
inline constexpr const char* kCopyCaption = "Перенос читаемых записей...";
inline constexpr const char* kCopiedRows =
    "Таблица %s: перенесено записей %d, не удалось перенести %d";
inline constexpr const char* kCopiedRowsUnfinished =
    "Таблица %s: перенесено записей %d, остальные прочитать не удалось";
inline constexpr const char* kLostKeys = "\r\nНе перенесены записи с ключами ";
inline constexpr const char* kMoreKeys = "; и еще %d";
inline constexpr const char* kRefusedRow = "\r\nНе принята запись с ключом ";
inline constexpr const char* kNoRangeKey =
    "Записи таблицы %s нельзя прочитать по частям: у нее нет первичного ключа из одного "
    "целочисленного поля";
inline constexpr const char* kCopyFailed = "Не удалось перенести читаемые записи: ";
inline constexpr const char* kPlaceholdersReplaced =
    "\r\nЗаписи-заглушки заменены прочитанными записями: %d";
inline constexpr const char* kCopyStopped = "\r\nПеренос прерван: ";

}  // namespace salvage
