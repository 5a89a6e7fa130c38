// The texts the repair shows and records. Messages that name the logs are built from the
// platform's fixed paths, so the operator is sent to files that exist on this machine.
#pragma once

#include <string>

namespace repairtext {

// Records of the repair workflow.
inline constexpr const char* kStart = "Начало ремонта базы данных: ";
inline constexpr const char* kGuardPrefix = "Ошибка функции ремонта базы данных: ";
inline constexpr const char* kCopyMade = "Сделана копия файла базы данных: ";
inline constexpr const char* kEarlierCopyKept =
    "Прежняя копия файла базы данных сохранена под именем: ";
inline constexpr const char* kMendStart = "Будет сделана маркировка поврежденных страниц";
inline constexpr const char* kMendDone = "Маркировка поврежденных страниц завершена";
inline constexpr const char* kRecheckStart = "Будет сделана повторная проверка с помощью gfix";
inline constexpr const char* kRecheckDone = "Повторная проверка завершена";
inline constexpr const char* kRepairDone = "Ремонт базы данных успешно завершен!";

// Records of the rebuild stage.
inline constexpr const char* kBackupStart = "Будет сделана резервная копия базы данных";
inline constexpr const char* kBackupNoMarker =
    "Лог резервной копии не содержит признака окончания резервирования:\r\n";
inline constexpr const char* kBackupDone = "Создание резервной копии успешно завершено";
inline constexpr const char* kRestoreStart =
    "Будет выполнено восстановление базы данных из резервной копии";
inline constexpr const char* kRestoreNoMarker =
    "Лог восстановления базы данных из резервной копии не содержит признака окончания "
    "восстановления:\r\n";
inline constexpr const char* kRestoreUnusable =
    "Лог восстановления базы данных из резервной копии сообщает об ошибках, "
    "восстановленная база данных непригодна:\r\n";
inline constexpr const char* kBackupErrors =
    "Лог резервной копии сообщает об ошибках, резервная копия непригодна:\r\n";
inline constexpr const char* kRestoredNotProven =
    "Проверка восстановленной базы данных не пройдена:\r\n";
inline constexpr const char* kRestoreDone = "Восстановление из резервной копии прошло успешно!";
inline constexpr const char* kReplaceAttempt =
    "Будет выполнена попытка заменить файл \"%s\" на \"%s\"";
inline constexpr const char* kDeleted = "Файл успешно удален: ";
inline constexpr const char* kRightsNotCopied =
    "Не удалось передать файлу \"%s\" владельца и права старого файла базы данных: %s";
inline constexpr const char* kRenamed = "Файл \"%s\" успешно переименован в \"%s\"";

// Operator-facing errors.
inline constexpr const char* kUserAborted = "Операция прервана пользователем!";
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
inline constexpr const char* kDatabaseHasScratchName =
    "Нельзя ремонтировать файл \"%s\"!\r\n"
    "Файл с таким именем программа создает при ремонте и затем удаляет.\r\n"
    "Переименуйте файл базы данных и повторите ремонт.";
inline constexpr const char* kDatabaseInUse =
    "Невозможно выполнить ремонт базы данных, т.к. в данный момент база данных используется "
    "другим приложением";
inline constexpr const char* kTempFileFailed = "Не удалось создать временный файл \"%s\": %s";
inline constexpr const char* kNoBackupLog = "Не удалось сделать резервную копию базы данных!";
inline constexpr const char* kRestoredMissing = "Ошибка восстановления. Файл не найден: ";
inline constexpr const char* kDeleteOldByHand =
    "Восстановление базы данных завершено! Однако Вам придется\r\n"
    "самостоятельно удалить старый файл \"%s\" и поместить на его\r\n"
    "место новый файл \"%s\". При этом файл необходимо переименовать!\r\n"
    "В результате имя файла должно быть: %s";
// The database back at its path after a repair that did not replace it.
inline constexpr const char* kPutBackByHand =
    "Не удалось вернуть файл базы данных на место: %s\r\n"
    "Вам придется самостоятельно переименовать файл \"%s\".\r\n"
    "В результате имя файла должно быть: %s";
inline constexpr const char* kTakeAwayFailed =
    "Не удалось переименовать файл базы данных \"%s\" на время ремонта: %s";
inline constexpr const char* kWorkFileLeft =
    "Рядом с базой данных остался файл незавершенного ремонта:\r\n"
    "\"%s\"\r\n"
    "В нем база данных в том виде, в каком она была до замены.\r\n"
    "Если база данных работает, перенесите этот файл в другую папку\r\n"
    "и повторите ремонт.";
// Shown at start-up after a repair that ended with its process.
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
// Asked when the rebuilt file cannot take the database's place (default No).
inline constexpr const char* kRetryReplaceQuestion =
    "Не удалось поместить восстановленный файл \"%s\"\r\n"
    "на место файла базы данных \"%s\": %s\r\n"
    "Закройте все программы Velmar на этом компьютере (или остановите\r\n"
    "сервер Firebird) и повторите попытку.\r\n"
    "Повторить попытку замены файла?";
inline constexpr const char* kRenameByHand =
    "Восстановление базы данных завершено! Однако Вам придется\r\n"
    "самостоятельно переименовать файл \"%s\".\r\n"
    "В результате имя файла должно быть: %s";

// The old-file question.
inline constexpr const char* kOldFileCaption = "Внимание!";
inline constexpr const char* kOldFileQuestion =
    "Старый файл \"%s\" будет удален!\r\n"
    "Вы уверены, что этот файл не является рабочим\r\n"
    "файлом базы данных Velmar";

// The success box.
inline constexpr const char* kSuccessCaption = "Информация";
inline constexpr const char* kSuccessText = "Восстановление базы данных УСПЕШНО ЗАВЕРШЕНО!";

// Progress captions.
inline constexpr const char* kCopyCaption = "Копирование файла базы данных";
inline constexpr const char* kMendCaption = "Маркировка поврежденных страниц...";
inline constexpr const char* kBackupCaption = "Создание резервной копии...";
inline constexpr const char* kRestoreCaption = "Восстановление из резервной копии...";

// The save dialog of the safety copy.
inline constexpr const char* kSaveTitle = "Укажите файл для сохранения копии базы данных";
inline constexpr const char* kSaveFilterName = "База данных (*.FDB)";
inline constexpr const char* kSavePattern = "*.FDB";
inline constexpr const char* kSafetyCopySuffix = "_BACKUP.FDB";

// Files beside the database.
inline constexpr const char* kBackupExt = ".db_backup1";
inline constexpr const char* kRestoredExt = ".db_restored1";
// The database's own name while the repair works on it.
inline constexpr const char* kWorkExt = ".db_repair1";

// gbak's end markers.
inline constexpr const char* kBackupEndMarker = "gbak:closing file, committing, and finishing.";
inline constexpr const char* kRestoreEndMarker = "gbak:finishing, closing, and going home";

// Five lines: the backup did not finish; sends the operator to both logs.
std::string BackupFailedMessage();
// Five lines: the restore did not finish or left an unusable database.
std::string RestoreFailedMessage();
// The restored file did not validate clean, so it did not replace the database (which the
// mend has changed all the same); names where the rebuilt file and the safety copy are.
std::string RestoredFileNotProvenMessage(const std::string& restoredFile,
                                         const std::string& safetyCopy);

}  // namespace repairtext
