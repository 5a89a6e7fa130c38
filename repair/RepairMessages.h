// Every text of the repair: its session log records, progress captions, the boxes and questions
// it shows the operator, and the names of the files it leaves beside the database, in the order
// of the steps that use them (lines joined with CR LF). Messages that name the logs are built
// from the platform's fixed paths, so the operator is sent to files that exist on this machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "repair/BlobRepair.h"
#include "repair/EarlierRepair.h"
#include "repair/KeyRepair.h"
#include "repair/RowReport.h"

namespace repairtext {

// The repair as a whole: its first and last records, what stops it before it begins, the
// success box.
inline constexpr const char* kStart = "Начало ремонта базы данных: ";
inline constexpr const char* kGuardPrefix = "Ошибка функции ремонта базы данных: ";
inline constexpr const char* kRepairDone = "Ремонт базы данных успешно завершен!";
inline constexpr const char* kUserAborted = "Операция прервана пользователем!";
inline constexpr const char* kDatabaseHasScratchName =
    "Нельзя ремонтировать файл \"%s\"!\r\n"
    "Файл с таким именем программа создает при ремонте и затем удаляет.\r\n"
    "Переименуйте файл базы данных и повторите ремонт.";
inline constexpr const char* kDatabaseInUse =
    "Невозможно выполнить ремонт базы данных, т.к. в данный момент база данных используется "
    "другим приложением";
inline constexpr const char* kSuccessCaption = "Информация";
inline constexpr const char* kSuccessText = "Восстановление базы данных УСПЕШНО ЗАВЕРШЕНО!";
inline constexpr const char* kOldFileCaption = "Внимание!";

// Before anything changes: an earlier repair left unfinished, room on the disks.
// The Yes/No question asked before going on after an unfinished repair (default No).
std::string UnfinishedRepairQuestion(const UnfinishedRepair& earlier);
// Room on the disks, asked before anything is copied or changed.
std::string NoRoomMessage(const std::string& volume, std::uint64_t needed, std::uint64_t free);

// The safety copy.
inline constexpr const char* kCopyCaption = "Копирование файла базы данных";
inline constexpr const char* kSaveTitle = "Укажите файл для сохранения копии базы данных";
inline constexpr const char* kSaveFilterName = "База данных (*.FDB)";
inline constexpr const char* kSavePattern = "*.FDB";
inline constexpr const char* kSafetyCopySuffix = "_BACKUP.FDB";
inline constexpr const char* kCopyMade = "Сделана копия файла базы данных: ";
inline constexpr const char* kEarlierCopyKept =
    "Прежняя копия файла базы данных сохранена под именем: ";
inline constexpr const char* kCopyOntoItself = "Нельзя копировать файл сам в себя!!!";
inline constexpr const char* kOldFileNotDeleted = "Не удалось удалить старый файл \"%s\": %s";
inline constexpr const char* kCopyFailed =
    "Не удалось скопировать базу данных в файл файл \"%s\": %s";
inline constexpr const char* kEarlierCopyNotKept =
    "Не удалось сохранить прежнюю копию \"%s\" под именем \"%s\": %s";
inline constexpr const char* kCopyOnScratchName =
    "Нельзя сохранить копию в файл \"%s\"!\r\n"
    "Файл с таким именем программа создает при ремонте и затем удаляет.\r\n"
    "Укажите другое имя файла.";

// The database out of other programs' reach while the repair works on it.
// The database's own name while the repair works on it.
inline constexpr const char* kWorkExt = ".db_repair1";
inline constexpr const char* kTakeAwayFailed =
    "Не удалось переименовать файл базы данных \"%s\" на время ремонта: %s";
// The database back at its path after a repair that did not replace it.
inline constexpr const char* kPutBackByHand =
    "Не удалось вернуть файл базы данных на место: %s\r\n"
    "Вам придется самостоятельно переименовать файл \"%s\".\r\n"
    "В результате имя файла должно быть: %s";
inline constexpr const char* kWorkFileLeft =
    "Рядом с базой данных остался файл незавершенного ремонта:\r\n"
    "\"%s\"\r\n"
    "В нем база данных в том виде, в каком она была до замены.\r\n"
    "Если база данных работает, перенесите этот файл в другую папку\r\n"
    "и повторите ремонт.";

// What a repair that ended with its process left, found at start-up.
inline constexpr const char* kPutBackAtStart =
    "Предыдущий ремонт базы данных был прерван.\r\n"
    "Файл базы данных возвращен на место:\r\n"
    "%s\r\n"
    "Проверьте базу данных (кнопка \"Проверить\") и при необходимости\r\n"
    "повторите ремонт.";
inline constexpr const char* kPutBackAtStartRecord =
    "Файл базы данных возвращен на место после прерванного ремонта: ";
inline constexpr const char* kRestoredLeftAtStart =
    "Файл базы данных не найден:\r\n"
    "%s\r\n"
    "Рядом с ним остался восстановленный файл прерванного ремонта:\r\n"
    "%s\r\n"
    "Если базу данных не переносили в другое место, переименуйте этот файл.\r\n"
    "В результате имя файла должно быть: %s";

// The mend of the damaged pages and the re-check.
inline constexpr const char* kMendCaption = "Маркировка поврежденных страниц...";
inline constexpr const char* kMendStart = "Будет сделана маркировка поврежденных страниц";
inline constexpr const char* kMendDone = "Маркировка поврежденных страниц завершена";
inline constexpr const char* kRecheckStart = "Будет сделана повторная проверка с помощью gfix";
inline constexpr const char* kRecheckDone = "Повторная проверка завершена";

// Row counts before the mend and in the rebuilt file, and the report of rows that may be lost.
inline constexpr const char* kCountCaption = "Подсчет записей в таблицах базы данных...";
inline constexpr const char* kCountCancelled = "Подсчет записей в таблицах прерван оператором";
inline constexpr const char* kCountFailed =
    "Не удалось подсчитать записи в таблицах базы данных \"%s\": %s";
inline constexpr const char* kTableCountFailed =
    "Не удалось подсчитать записи в таблице %s базы данных \"%s\": %s";
// One session log record per table: "Таблица SALES: записей до ремонта 3000, после ремонта 2973".
std::string TableRowsRecord(const TableChange& change);
inline constexpr const char* kRowLossCaption = "Внимание!";
// The box shown after the success box; `reportFile` empty when the file could not be written.
std::string RowLossBoxText(const std::vector<TableChange>& losses, const std::string& reportFile,
                           MissingCounts missing = {});
// The text file beside the safety copy (UTF-8, CR LF).
std::string RowReportFileText(const std::vector<TableChange>& tables,
                              const std::string& databaseFile, const std::string& safetyCopy,
                              const std::string& timeStamp, MissingCounts missing = {});
inline constexpr const char* kReportSaved = "Отчет о ремонте сохранен в файле: ";
inline constexpr const char* kReportNotSaved =
    "Не удалось сохранить отчет о ремонте в файл \"%s\": %s";

// The rebuild's backup.
inline constexpr const char* kTempFileFailed = "Не удалось создать временный файл \"%s\": %s";
inline constexpr const char* kBackupCaption = "Создание резервной копии...";
inline constexpr const char* kBackupExt = ".db_backup1";
inline constexpr const char* kBackupEndMarker = "gbak:closing file, committing, and finishing.";
inline constexpr const char* kBackupStart = "Будет сделана резервная копия базы данных";
inline constexpr const char* kBackupNoMarker =
    "Лог резервной копии не содержит признака окончания резервирования:\r\n";
inline constexpr const char* kBackupErrors =
    "Лог резервной копии сообщает об ошибках, резервная копия непригодна:\r\n";
inline constexpr const char* kBackupDone = "Создание резервной копии успешно завершено";
inline constexpr const char* kNoBackupLog = "Не удалось сделать резервную копию базы данных!";
// Five lines: the backup did not finish; sends the operator to both logs.
std::string BackupFailedMessage();

// Unreadable fields (BLOB) that stop the backup. A search that finds nothing records nothing,
// so a backup that stops for another reason reads as before.
inline constexpr const char* kBlobCaption = "Внимание!";
inline constexpr const char* kBlobSearchCaption = "Поиск нечитаемых полей в записях...";
inline constexpr const char* kBlobSearchFailed = "Не удалось найти нечитаемые поля в записях: ";
inline constexpr const char* kBlobsFound = "Не читаются поля записей:\r\n";
// "Таблица SALES, запись ID = 15, поле RECEIPT", one a line; at most `shown` lines and a
// line with the number of the others.
std::string BlobFieldLines(const std::vector<UnreadableBlob>& fields, std::size_t shown);
std::string BlobQuestion(const std::vector<UnreadableBlob>& fields, const std::string& safetyCopy);
inline constexpr const char* kBlobsRefused = "Очистка нечитаемых полей отклонена пользователем";
inline constexpr const char* kBlobClearFailed = "Не удалось очистить нечитаемые поля: ";
inline constexpr const char* kBlobsCleared = "Очищены нечитаемые поля записей:\r\n";
std::string BlobReport(const std::vector<UnreadableBlob>& fields);

// Tables that stop the backup: the rebuild without their rows, and the rows copied back.
inline constexpr const char* kSalvageCaption = "Внимание!";
// The Yes/No question (default No). `referred`: those of `tables` other tables refer to,
// whose referring rows keep their keys through placeholders. `partly`: the rows of some of
// them that can still be read will be copied back.
std::string SalvageQuestion(const std::vector<std::string>& tables, const std::string& safetyCopy,
                            const std::vector<std::string>& referred = {}, bool partly = false);
inline constexpr const char* kSalvageStart =
    "Будет выполнено восстановление базы данных без записей таблиц: ";
inline constexpr const char* kSalvageRefused =
    "Восстановление базы данных без записей таблиц отклонено пользователем";
inline constexpr const char* kReferencesUnread = "Не удалось прочитать ссылки между таблицами: ";
inline constexpr const char* kRowCopyCaption = "Перенос читаемых записей...";
inline constexpr const char* kCopiedRows =
    "Таблица %s: перенесено записей %d, не удалось перенести %d";
inline constexpr const char* kCopiedRowsUnfinished =
    "Таблица %s: перенесено записей %d, остальные прочитать не удалось";
// Continuation lines of that record.
inline constexpr const char* kLostKeys = "\r\nНе перенесены записи с ключами ";
inline constexpr const char* kMoreKeys = "; и еще %d";
inline constexpr const char* kRefusedRow = "\r\nНе принята запись с ключом ";
inline constexpr const char* kPlaceholdersReplaced =
    "\r\nЗаписи-заглушки заменены прочитанными записями: %d";
inline constexpr const char* kRowCopyStopped = "\r\nПеренос прерван: ";
inline constexpr const char* kNoRangeKey =
    "Записи таблицы %s нельзя прочитать по частям: у нее нет первичного ключа из одного "
    "целочисленного поля";
inline constexpr const char* kRowCopyFailed = "Не удалось перенести читаемые записи: ";

// The rebuild's restore and the proof of the restored file.
inline constexpr const char* kRestoreCaption = "Восстановление из резервной копии...";
inline constexpr const char* kRestoredExt = ".db_restored1";
inline constexpr const char* kRestoreEndMarker = "gbak:finishing, closing, and going home";
inline constexpr const char* kRestoreStart =
    "Будет выполнено восстановление базы данных из резервной копии";
inline constexpr const char* kRestoreNoMarker =
    "Лог восстановления базы данных из резервной копии не содержит признака окончания "
    "восстановления:\r\n";
inline constexpr const char* kRestoreUnusable =
    "Лог восстановления базы данных из резервной копии сообщает об ошибках, "
    "восстановленная база данных непригодна:\r\n";
inline constexpr const char* kRestoreDone = "Восстановление из резервной копии прошло успешно!";
inline constexpr const char* kRestoredMissing = "Ошибка восстановления. Файл не найден: ";
// Five lines: the restore did not finish or left an unusable database.
std::string RestoreFailedMessage();
inline constexpr const char* kRestoredNotProven =
    "Проверка восстановленной базы данных не пройдена:\r\n";
// The restored file did not validate clean, so it did not replace the database (which the
// mend has changed all the same); names where the rebuilt file and the safety copy are.
std::string RestoredFileNotProvenMessage(const std::string& restoredFile,
                                         const std::string& safetyCopy);

// Keys and references that stop the restore.
inline constexpr const char* kKeyCaption = "Внимание!";
// Written into the text fields of placeholder rows (cut to the column's length).
inline constexpr const char* kPlaceholderMarker = "Восстановлено при ремонте";
// The set-aside rows' file: the safety copy's name with this in place of its extension.
inline constexpr const char* kSetAsideSuffix = "_отложенные_записи.sql";
inline constexpr const char* kKeysOnlyFailed =
    "Восстановление остановилось на ключах или ссылках между таблицами; база данных "
    "будет восстановлена с неактивными индексами";
inline constexpr const char* kIndexesNotRead = "Не удалось прочитать индексы базы данных: ";
inline constexpr const char* kNoIndexRestoreFailed =
    "Не удалось восстановить базу данных с неактивными индексами:\r\n";
inline constexpr const char* kPlaceholderFailed =
    "Не удалось добавить запись-заглушку в таблицу %s (%s): %s";
inline constexpr const char* kOtherRowsChanged =
    "Исправление ключей изменило бы другие записи таблицы %s: записей %d вместо %d";
std::string KeyQuestion(const KeyRepairPlan& plan, const std::string& safetyCopy);
inline constexpr const char* kKeyMendRefused =
    "Исправление ключей и ссылок между таблицами отклонено пользователем";
inline constexpr const char* kSetAsideNotWritten =
    "Не удалось записать файл отложенных записей %s: %s";
inline constexpr const char* kSetAsideWritten = "Отложенные записи сохранены в файле: ";
// The set-aside file's comment lines (the rest of it is SQL).
inline constexpr const char* kSetAsideFileHead =
    "-- Записи, отложенные при ремонте базы данных %s\r\n"
    "-- Выполнить: isql -ch UTF8 -i <этот файл> <база данных>\r\n";
inline constexpr const char* kSetAsidePlaceholders = "-- %s: записи-заглушки с ключами %s\r\n";
inline constexpr const char* kIndexNotActivated = "Не удалось активировать индекс %s: %s";
inline constexpr const char* kKeyMendFailed =
    "Не удалось исправить ключи и ссылки между таблицами: ";
// The box after the replacement, and the session log record of the mend.
std::string KeyReport(const KeyRepairPlan& plan);

// The rebuilt file in the database's place.
inline constexpr const char* kOldFileQuestion =
    "Старый файл \"%s\" будет удален!\r\n"
    "Вы уверены, что этот файл не является рабочим\r\n"
    "файлом базы данных Velmar";
inline constexpr const char* kReplaceAttempt =
    "Будет выполнена попытка заменить файл \"%s\" на \"%s\"";
inline constexpr const char* kDeleted = "Файл успешно удален: ";
inline constexpr const char* kRightsNotCopied =
    "Не удалось передать файлу \"%s\" владельца и права старого файла базы данных: %s";
inline constexpr const char* kRenamed = "Файл \"%s\" успешно переименован в \"%s\"";
// Asked when the rebuilt file cannot take the database's place (default No).
inline constexpr const char* kRetryReplaceQuestion =
    "Не удалось поместить восстановленный файл \"%s\"\r\n"
    "на место файла базы данных \"%s\": %s\r\n"
    "Закройте все программы Velmar на этом компьютере (или остановите\r\n"
    "сервер Firebird) и повторите попытку.\r\n"
    "Повторить попытку замены файла?";
inline constexpr const char* kDeleteOldByHand =
    "Восстановление базы данных завершено! Однако Вам придется\r\n"
    "самостоятельно удалить старый файл \"%s\" и поместить на его\r\n"
    "место новый файл \"%s\". При этом файл необходимо переименовать!\r\n"
    "В результате имя файла должно быть: %s";
inline constexpr const char* kRenameByHand =
    "Восстановление базы данных завершено! Однако Вам придется\r\n"
    "самостоятельно переименовать файл \"%s\".\r\n"
    "В результате имя файла должно быть: %s";

}  // namespace repairtext
