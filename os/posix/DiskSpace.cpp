#include "os/DiskSpace.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstdlib>

#include "os/Files.h"

namespace os {

std::optional<VolumeSpace> SpaceOf(const std::string& folder) {
  struct statvfs space {};
  struct stat own {};
  if (::statvfs(folder.c_str(), &space) != 0 || ::stat(folder.c_str(), &own) != 0)
    return std::nullopt;
  // The mount point: the highest folder on the way up that is still on the same device.
  char* resolved = ::realpath(folder.c_str(), nullptr);
  if (resolved == nullptr)
    return std::nullopt;
  std::string mountPoint = resolved;
  ::free(resolved);
  while (mountPoint != "/") {
    const std::string parent =
        ExtractFileDir(mountPoint).empty() ? "/" : ExtractFileDir(mountPoint);
    struct stat up {};
    if (::stat(parent.c_str(), &up) != 0 || up.st_dev != own.st_dev)
      break;
    mountPoint = parent;
  }
  return VolumeSpace{mountPoint, static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize};
}

}  // namespace os
