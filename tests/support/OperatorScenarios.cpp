#include "tests/support/OperatorScenarios.h"

#include <algorithm>
#include <ostream>

namespace scenarios {

namespace {

std::string Stem(const std::string& database) {
  return database.substr(0, database.rfind('.'));
}

std::string Uncounted(const std::string& file) {
  return "Не удалось подсчитать записи в таблицах базы данных \"" + file +
         "\": Не удалось загрузить клиентскую библиотеку сервера базы данных fbclient.dll*";
}

std::string Logs(const std::string& sessionLog, const std::string& serverLog) {
  return "Подробности смотрите в логах:\r\n" + sessionLog + "\r\n" + serverLog;
}

}  // namespace

std::string RepairFiles::Work() const {
  return Stem(database) + ".db_repair1";
}
std::string RepairFiles::Backup() const {
  return Stem(database) + ".db_backup1";
}
std::string RepairFiles::Restored() const {
  return Stem(database) + ".db_restored1";
}

void PrintTo(const RepairScenario& scenario, std::ostream* out) {
  *out << scenario.name << " in \"" << scenario.folder << "/" << scenario.fileName << "\"";
}

const std::vector<RepairScenario>& RepairScenarios() {
  using testsupport::DamageKind;
  static const std::vector<RepairScenario> table = {
      {"RecordGarbage",
       DamageKind::RecordGarbage,
       "Склад номер 2",
       "База Velmar.FDB",
       true,
       {Platform::Linux, Platform::Windows}},
      {"ZeroDataPage", DamageKind::ZeroDataPage, "", "VELMAR.FDB", true, {Platform::Linux}},
      {"IndexGarbage", DamageKind::IndexGarbage, "", "VELMAR.FDB", false, {Platform::Linux}},
      {"ZeroBlobPage",
       DamageKind::ZeroBlobPage,
       "Данные кассы № 1",
       "VELMAR.FDB",
       false,
       {Platform::Linux}},
  };
  return table;
}

std::vector<RepairScenario> RepairScenariosOn(Platform platform) {
  std::vector<RepairScenario> on;
  for (const RepairScenario& scenario : RepairScenarios())
    if (std::ranges::find(scenario.platforms, platform) != scenario.platforms.end())
      on.push_back(scenario);
  return on;
}

std::string OfferedCopyName(const std::string& fileName) {
  return Stem(fileName) + "_BACKUP.FDB";
}

const std::vector<std::string>& CountedTables() {
  static const std::vector<std::string> tables = {"CUSTOMERS", "DOCUMENTS", "SALES"};
  return tables;
}

std::vector<std::string> TableFigurePatterns() {
  std::vector<std::string> patterns;
  for (const std::string& table : CountedTables())
    patterns.push_back("Таблица " + table + ": *");
  return patterns;
}

std::vector<std::string> RecordsUpToBackup(const RepairFiles& files, RowCounting counting,
                                           Recheck recheck) {
  std::vector<std::string> records = {
      "Начало ремонта базы данных: " + files.database,
      "Сделана копия файла базы данных: " + files.copy,
  };
  if (counting == RowCounting::NoClientLibrary)
    records.push_back(Uncounted(files.Work()));
  records.insert(records.end(), {"Будет сделана маркировка поврежденных страниц",
                                 "Маркировка поврежденных страниц завершена",
                                 "Будет сделана повторная проверка с помощью gfix"});
  if (recheck == Recheck::Clean)
    records.push_back(RecheckDone());
  records.push_back("Будет сделана резервная копия базы данных");
  return records;
}

std::vector<std::string> RecordsThroughRestore(const RepairFiles& files, RowCounting counting,
                                               Recheck recheck) {
  std::vector<std::string> records = RecordsUpToBackup(files, counting, recheck);
  records.insert(records.end(), {"Создание резервной копии успешно завершено",
                                 "Будет выполнено восстановление базы данных из резервной копии",
                                 "Восстановление из резервной копии прошло успешно!"});
  return records;
}

std::vector<std::string> RecordsUpToReplacement(const RepairFiles& files, RowCounting counting,
                                                Recheck recheck,
                                                const std::vector<std::string>& figures) {
  std::vector<std::string> records = RecordsThroughRestore(files, counting, recheck);
  if (counting == RowCounting::NoClientLibrary)
    records.push_back(Uncounted(files.Restored()));
  else
    records.insert(records.end(), figures.begin(), figures.end());
  records.push_back("Будет выполнена попытка заменить файл \"" + files.database + "\" на \"" +
                    files.Restored() + "\"");
  return records;
}

std::vector<std::string> SuccessRecords(const RepairFiles& files, RowCounting counting,
                                        Recheck recheck, const std::vector<std::string>& figures) {
  std::vector<std::string> records = RecordsUpToReplacement(files, counting, recheck, figures);
  records.insert(records.end(), {
                                    "Файл \"" + files.Restored() + "\" успешно переименован в \"" +
                                        files.database + "\"",
                                    // The old file is deleted under its work name once the rebuilt
                                    // one has its path.
                                    "Файл успешно удален: " + files.Work(),
                                    "Ремонт базы данных успешно завершен!",
                                });
  return records;
}

std::vector<std::string> RefusedRecords(const std::string& database, const std::string& message) {
  return {"Начало ремонта базы данных: " + database, FailureRecord(message)};
}

std::string FailureRecord(const std::string& message) {
  return "Ошибка функции ремонта базы данных: " + message;
}

std::string RecheckDone() {
  return "Повторная проверка завершена";
}

std::vector<std::string> RecheckOutcome() {
  return {RecheckDone(), "Не удалось подсчитать записи в табл*",
          "Отчет о ремонте сохранен в файле: *"};
}

std::string BackupUnfinishedRecord() {
  return "Лог резервной копии не содержит признака окончания резервирования:\r\n*";
}

BoxExpectation SuccessBox() {
  return {.caption = "Информация",
          .text = "Восстановление базы данных УСПЕШНО ЗАВЕРШЕНО!",
          .buttons = DialogButtons::Ok,
          .icon = DialogIcon::Information};
}

BoxExpectation RowLossBox() {
  return {.caption = "Внимание!",
          .textContains =
              "Ремонт базы данных завершен, но в некоторых таблицах записи могли "
              "быть потеряны.\r\n",
          .buttons = DialogButtons::Ok,
          .icon = DialogIcon::Warning};
}

BoxExpectation UncountedBox() {
  return {.caption = "Внимание!",
          .text =
              "Ремонт базы данных завершен, но проверить, не потеряны ли записи, не удалось.\r\n"
              "Число записей до и после ремонта подсчитать не удалось.\r\n"
              "Проверьте данные и при необходимости введите их заново.",
          .buttons = DialogButtons::Ok,
          .icon = DialogIcon::Warning};
}

std::string InUseText() {
  return "Невозможно выполнить ремонт базы данных, т.к. в данный момент база данных "
         "используется другим приложением";
}

std::string SelfCopyText() {
  return "Нельзя копировать файл сам в себя!!!";
}

std::string BackupFailedText(const std::string& sessionLog, const std::string& serverLog) {
  return "Не удалось сделать резервную копию базы данных!\r\n"
         "Вероятно база данных серьезно повреждена.\r\n" +
         Logs(sessionLog, serverLog);
}

std::string RestoreFailedText(const std::string& sessionLog, const std::string& serverLog) {
  return "Не удалось восстановить базу данных из резервной копии!\r\n"
         "Вероятно база данных серьезно повреждена.\r\n" +
         Logs(sessionLog, serverLog);
}

std::string NotProvenText(const RepairFiles& files, const std::string& sessionLog,
                          const std::string& serverLog) {
  return "Восстановленная база данных не прошла проверку!\r\n"
         "Файл базы данных не заменен, но изменен маркировкой поврежденных страниц.\r\n"
         "Восстановленная база данных: " +
         files.Restored() + "\r\nКопия базы данных до ремонта: " + files.copy + "\r\n" +
         Logs(sessionLog, serverLog);
}

}  // namespace scenarios
