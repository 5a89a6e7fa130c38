#include "check/Prerequisites.h"

#include "check/CheckMessages.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "server/FixedPaths.h"

void RequireToolsDatabaseAndWorkFolder(std::initializer_list<std::string> tools,
                                       const std::string& databaseFile) {
  for (const std::string& tool : tools)
    if (!os::FileExists(tool))
      throw Exception(checktext::kToolMissing + tool);
  if (!os::FileExists(databaseFile))
    throw Exception(checktext::kDatabaseMissing);
  const std::string workFolder = paths::WorkDirectory();
  if (!os::ForceDirectories(workFolder))
    throw Exception(checktext::kWorkFolderFailed + workFolder);
}
