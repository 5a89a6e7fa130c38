#include "repair/RepairMessages.h"

#include "server/FixedPaths.h"

namespace repairtext {

namespace {

std::string TheLogs() {
  return "Подробности смотрите в логах:\r\n" + paths::SessionLogFile() + "\r\n" +
         paths::ServerLog();
}

std::string SeeTheLogs() {
  return "Вероятно база данных серьезно повреждена.\r\n" + TheLogs();
}

}  // namespace

std::string BackupFailedMessage() {
  return "Не удалось сделать резервную копию базы данных!\r\n" + SeeTheLogs();
}

std::string RestoreFailedMessage() {
  return "Не удалось восстановить базу данных из резервной копии!\r\n" + SeeTheLogs();
}

std::string RestoredFileNotProvenMessage(const std::string& restoredFile,
                                         const std::string& safetyCopy) {
  return "Восстановленная база данных не прошла проверку!\r\n"
         "Файл базы данных не заменен, но изменен маркировкой поврежденных страниц.\r\n"
         "Восстановленная база данных: " +
         restoredFile + "\r\nКопия базы данных до ремонта: " + safetyCopy + "\r\n" + TheLogs();
}

}  // namespace repairtext
