#include "check/Prerequisites.h"

#include "os/Exception.h"
#include "os/Files.h"
#include "server/FixedPaths.h"

void RequireToolsDatabaseAndWorkFolder(std::initializer_list<std::string> tools,
                                       const std::string& databaseFile) {
  for (const std::string& tool : tools)
    if (!os::FileExists(tool))
      throw Exception("Не найден файл: " + tool);
  if (!os::FileExists(databaseFile))
    throw Exception("Указанная база данных не найдена на этом компьютере!");
  const std::string workFolder = paths::WorkDirectory();
  if (!os::ForceDirectories(workFolder))
    throw Exception("Не удалось создать временный каталог: " + workFolder);
}
