#include "tests/repair/RepairTestCommon.h"

#include <stdexcept>

#include "os/Exception.h"
#include "repair/RepairWorkflow.h"

namespace repairtest {

testsupport::FbTestServer Server() {
  auto server = testsupport::FbTestServer::FromEnvironment();
  if (!server)
    throw std::runtime_error("the private Firebird server is not running");
  return *server;
}

std::string Blank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos ? "" : text;
}

std::optional<std::string> RunRepairOn(const std::string& databaseFile, ScriptedDialogs& dialogs) {
  WorkflowContext context{dialogs, [databaseFile] { return databaseFile; }};
  try {
    RepairDatabase(context);
  } catch (const Exception& e) {
    return e.Message();
  }
  return std::nullopt;
}

std::optional<std::string> RunRepair(const RepairSandbox& sandbox, ScriptedDialogs& dialogs) {
  return RunRepairOn(sandbox.Database(), dialogs);
}

BoxExpectation SuccessBox() {
  BoxExpectation box;
  box.caption = "Информация";
  box.text = "Восстановление базы данных УСПЕШНО ЗАВЕРШЕНО!";
  box.buttons = DialogButtons::Ok;
  box.icon = DialogIcon::Information;
  return box;
}

BoxExpectation RowLossBox() {
  BoxExpectation box;
  box.caption = "Внимание!";
  box.textContains =
      "Ремонт базы данных завершен, но в некоторых таблицах записи могли быть потеряны.\r\n";
  box.buttons = DialogButtons::Ok;
  box.icon = DialogIcon::Warning;
  return box;
}

std::vector<std::string> RecordsUpToBackup(const std::string& database, const std::string& copy) {
  return {
      "Начало ремонта базы данных: " + database,
      "Сделана копия файла базы данных: " + copy,
      "Будет сделана маркировка поврежденных страниц",
      "Маркировка поврежденных страниц завершена",
      "Будет сделана повторная проверка с помощью gfix",
      "Будет сделана резервная копия базы данных",
  };
}

std::vector<std::string> SuccessRecords(const std::string& database, const std::string& copy) {
  const std::string restored = database.substr(0, database.rfind('.')) + ".db_restored1";
  std::vector<std::string> records = RecordsUpToBackup(database, copy);
  records.insert(
      records.end(),
      {
          "Создание резервной копии успешно завершено",
          "Будет выполнено восстановление базы данных из резервной копии",
          "Восстановление из резервной копии прошло успешно!",
          "Таблица CUSTOMERS: *",
          "Таблица DOCUMENTS: *",
          "Таблица SALES: *",
          "Будет выполнена попытка заменить файл \"" + database + "\" на \"" + restored + "\"",
          // The old file is deleted under its work name once the rebuilt one has its path.
          "Файл \"" + restored + "\" успешно переименован в \"" + database + "\"",
          "Файл успешно удален: " + database.substr(0, database.rfind('.')) + ".db_repair1",
          "Ремонт базы данных успешно завершен!",
      });
  return records;
}

std::vector<std::string> RecheckOutcome() {
  return {"Повторная проверка завершена", "Не удалось подсчитать записи в табл*",
          "Отчет о ремонте сохранен в файле: *"};
}

std::string SessionLogPath() {
  return std::string(getenv("KORA_ROOT")) + "/LogFiles/VelmarDBRepair.log";
}
std::string ServerLogPath() {
  return std::string(getenv("KORA_ROOT")) + "/FIREBIRD/firebird.log";
}

std::string BackupFailedText() {
  return "Не удалось сделать резервную копию базы данных!\r\n"
         "Вероятно база данных серьезно повреждена.\r\n"
         "Подробности смотрите в логах:\r\n" +
         SessionLogPath() + "\r\n" + ServerLogPath();
}

std::string RestoreFailedText() {
  return "Не удалось восстановить базу данных из резервной копии!\r\n"
         "Вероятно база данных серьезно повреждена.\r\n"
         "Подробности смотрите в логах:\r\n" +
         SessionLogPath() + "\r\n" + ServerLogPath();
}

}  // namespace repairtest
