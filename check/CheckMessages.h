// Every text of the check: its session log records, progress captions, and the boxes it shows the
// operator (lines joined with CR LF).
#pragma once

#include <string>
#include <utility>

#include "check/OperatorDialogs.h"

// The check's own texts: session log records, progress captions and lines, and the parts of its
// messages and boxes. Multi-line texts are joined with CR LF.
namespace checktext {

inline constexpr char kValidationStart[] = "Начало проверки gfix";
inline constexpr char kValidationClean[] = "Проверка gfix завершена. Повреждений не обнаружено.";
inline constexpr char kValidationFailed[] = "Ошибка gfix: ";
inline constexpr char kBackupStart[] = "Начало создания резервной копии";
inline constexpr char kBackupClean[] = "Резервная копия сделана. Ошибок нет!";
inline constexpr char kBackupError[] = "Ошибка при создании резервной копии: ";
inline constexpr char kFileNotDeleted[] = "Не удалось удалить файл ";
inline constexpr char kDatabaseMissing[] = "Указанная база данных не найдена на этом компьютере!";
inline constexpr char kScratchNameRefused[] =
    "Нельзя проверять файл \"%s\"!\r\nФайл с таким именем программа создает при проверке и "
    "затем удаляет.\r\nПереименуйте файл базы данных и повторите проверку.";
inline constexpr char kCheckStart[] = "Начало проверки базы данных ";
inline constexpr char kCheckDone[] = "Проверка базы данных завершена!";
inline constexpr char kToolMissing[] = "Не найден файл: ";
inline constexpr char kWorkFolderFailed[] = "Не удалось создать временный каталог: ";
inline constexpr char kRestoreCaption[] = "Проверка восстановления из резервной копии";
inline constexpr char kCancelledLine[] = "Прервано пользователем!";
inline constexpr char kWaitingLine[] = "Ожидание освобождения файла...";
inline constexpr char kRestoreStart[] = "Начало проверочного восстановления из резервной копии";
inline constexpr char kRestoreError[] =
    "Ошибка при проверочном восстановлении из резервной копии: ";
inline constexpr char kRestoreClean[] = "Проверочное восстановление прошло успешно. Ошибок нет!";
inline constexpr char kRestoreFailedRecord[] =
    "База данных не восстанавливается из резервной копии:";
inline constexpr char kBackupCaption[] = "Создание резервной копии";
inline constexpr char kBackupChainContext[] = "СозданиеРезервнойКопииБД";
inline constexpr char kDeleteFailed[] = "Ошибка при удалении файла \"%s\": %s";
inline constexpr char kOldBackupDeleted[] = "Удален старый файл резервной копии: ";
inline constexpr char kBackupLogHeading[] =
    "Лог резервирования (предоставлен в целях отладки ошибки):\r\n";
inline constexpr char kBackupWillBeMade[] =
    "Будет создана резервная копия \"%s\" базы данных \"%s\" (%s)";
inline constexpr char kBackupMade[] = "Создание резервной копии завершено";
inline constexpr char kBackupCreationError[] = "Ошибка создания резервной копии: ";
inline constexpr char kInUse[] =
    "Невозможно выполнить проверку базы данных, т.к. в данный момент база данных "
    "используется другим приложением";
inline constexpr char kValidationCaption[] = "Выполняется проверка базы данных...";
inline constexpr char kTableBeingChecked[] = "Проверяется таблица ";
inline constexpr char kTableHead[] = "Таблица ";
inline constexpr char kTableClean[] = "повреждений нет";
inline constexpr char kTableBusy[] = "занята другими программами, проверить не удалось";
inline constexpr char kTableDamaged[] = "повреждена, ошибок: ";
inline constexpr char kMoreLines[] = "\r\n... и еще строк: ";
inline constexpr char kErrorCount[] = " (ошибок: ";
inline constexpr char kCoverageNote[] =
    "Таблицы проверялись при работающих программах. Системные таблицы,\r\n"
    "заголовок базы данных и страницы транзакций так не проверяются: для\r\n"
    "полной проверки закройте все программы, работающие с базой данных,\r\n"
    "и нажмите \"Проверить\" еще раз.\r\n"
    "Резервная копия для проверки не создавалась, т.к. база данных\r\n"
    "используется другими программами.";
inline constexpr char kBusyTables[] = "Не удалось проверить таблицы, занятые другими программами:";
inline constexpr char kDamagedCaption[] = "Внимание! База повреждена!";
inline constexpr char kDamagedTables[] =
    "Проверка без закрытия программ обнаружила повреждения в таблицах:";
inline constexpr char kRepairAdvice[] =
    "Рекомендуется закрыть все программы, работающие с базой данных,\r\n"
    "и выполнить ремонт базы данных";
inline constexpr char kWarningCaption[] = "Внимание!";
inline constexpr char kNotAllChecked[] =
    "Проверка без закрытия программ не обнаружила повреждений,\r\n"
    "но проверены не все таблицы.";
inline constexpr char kInformationCaption[] = "Информация";
inline constexpr char kNoDamageFound[] =
    "Проверка без закрытия программ не обнаружила\r\n"
    "повреждений в таблицах!";
inline constexpr char kInUseCaption[] = "База данных используется";
inline constexpr char kOnlineOffer[] =
    "Программа может проверить таблицы базы данных, не закрывая других\r\n"
    "программ. Пока читается каждая таблица, продажи могут на мгновение\r\n"
    "приостанавливаться.\r\n\r\n"
    "Проверить базу данных, не закрывая программ?";
inline constexpr char kOnlineStart[] = "Начало проверки базы данных без закрытия программ";
inline constexpr char kOnlineCaption[] = "Проверка базы данных без закрытия программ...";
inline constexpr char kOnlineError[] = "Ошибка проверки без закрытия программ: ";
inline constexpr char kErrorCaption[] = "Ошибка";
inline constexpr char kOnlineFailedHead[] =
    "В ходе проверки базы данных без закрытия программ\r\n"
    "произошла ошибка: ";
inline constexpr char kOnlineDone[] = "Проверка без закрытия программ завершена";
inline constexpr char kDamagedTablesUnknown[] = "Не удалось определить поврежденные таблицы: ";
inline constexpr char kNoDamagedTables[] =
    "Проверка по таблицам не нашла повреждений в таблицах с данными\r\n";
inline constexpr char kDamagedTablesAre[] = "Повреждены таблицы: ";
inline constexpr char kTablesNotChecked[] = "Не удалось проверить таблицы: ";
inline constexpr char kFullCheckAdvice[] =
    "Для полной проверки закройте все программы, работающие с базой\r\n"
    "данных, и нажмите \"Проверить\" еще раз.";
inline constexpr char kDamagedTablesCaption[] = "Поиск поврежденных таблиц...";

inline constexpr char kRestoreFailedText[] =
    "Была выполнена попытка восстановить базу данных из резервной копии.\r\n"
    "Восстановить базу данных не удалось: из резервной копии этой базы\r\n"
    "данных нельзя получить рабочую базу данных. Вероятно, база данных\r\n"
    "повреждена (нарушены ключи или ссылки между таблицами). Рекомендуется\r\n"
    "выполнить ремонт базы данных. Дополнительные сведения об ошибке\r\n"
    "смотрите в файле: ";
inline constexpr char kErrorTextHeading[] = "\r\n\r\nТекст ошибки:";

// The validation's English headings, each replaced by its Russian one in the report.
inline constexpr std::pair<const char*, const char*> kValidationHeadings[] = {
    {"Summary of validation errors", "При проверке выявлены следующие ошибки:"},
    {"Number of record level errors", "Кол-во ошибок в записях"},
    {"Number of Blob page errors", "Кол-во ошибок в полях БЛОБ"},
    {"Number of data page errors", "Кол-во ошибок на страницах с данными"},
    {"Number of index page errors", "Кол-во ошибок на страницах с индексами"},
    {"Number of pointer page errors", "Кол-во ошибок на страницах указателей"},
    {"Number of transaction page errors", "Кол-во ошибок на страницах транзакций"},
    {"Number of database page errors", "Кол-во ошибок на страницах базы данных"},
    {"is not a valid database", "не является файлом базы данных"},
    // Firebird 3 prints these beside the error counters; left in English they would stand
    // alone in a Russian report.
    {"Number of inventory page errors", "Кол-во ошибок на страницах учета страниц"},
    {"Number of record level warnings", "Кол-во предупреждений в записях"},
    {"Number of blob page warnings", "Кол-во предупреждений в полях БЛОБ"},
    {"Number of data page warnings", "Кол-во предупреждений на страницах с данными"},
    {"Number of index page warnings", "Кол-во предупреждений на страницах с индексами"},
    {"Number of pointer page warnings", "Кол-во предупреждений на страницах указателей"},
    {"Number of transaction page warnings", "Кол-во предупреждений на страницах транзакций"},
    {"Number of database page warnings", "Кол-во предупреждений на страницах базы данных"},
    {"Number of inventory page warnings", "Кол-во предупреждений на страницах учета страниц"},
};

}  // namespace checktext

struct CheckBox {
  std::string caption;
  std::string text;
  DialogButtons buttons;
  DialogIcon icon;
};

// The validation found nothing: ask before the trial backup (OK is the default button).
CheckBox NoDamageQuestionBox();
// The validation reported damage; `report` is its text, ending with a line break.
CheckBox DamageBox(const std::string& report);
// The validation failed for another reason (a cancel included).
CheckBox ValidationErrorBox(const std::string& message);
// The trial backup read the whole database.
CheckBox BackupCleanAfterDamageBox();
CheckBox BackupCleanBox();
// One of the two above, with a note that the backup file stayed and where it is.
CheckBox WithBackupFileLeftNote(CheckBox box, const std::string& backupFile);
// The trial backup failed; `message` is its chained message.
CheckBox BackupFailureBox(const std::string& message);
// The trial backup failed for a reason around the database (a full disk, a refused folder...):
// `failure` is the plain message for it, `message` the chained one.
CheckBox BackupEnvironmentFailureBox(const std::string& failure, const std::string& message);

DialogResult Show(OperatorDialogs& dialogs, const CheckBox& box);
