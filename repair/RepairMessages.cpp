#include "repair/RepairMessages.h"

#include "server/FixedPaths.h"

namespace repairtext {

namespace {

std::string SeeTheLogs() {
  return "Вероятно база данных серьезно повреждена.\r\nПодробности смотрите в логах:\r\n" +
         paths::SessionLogFile() + "\r\n" + paths::ServerLog();
}

}  // namespace

std::string BackupFailedMessage() {
  return "Не удалось сделать резервную копию базы данных!\r\n" + SeeTheLogs();
}

std::string RestoreFailedMessage() {
  return "Не удалось восстановить базу данных из резервной копии!\r\n" + SeeTheLogs();
}

}  // namespace repairtext
