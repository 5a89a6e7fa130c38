#include "os/DiskSpace.h"

#include "os/win/Wide.h"

namespace os {

std::optional<VolumeSpace> SpaceOf(const std::string& folder) {
  const std::wstring wide = win::ToWide(folder);
  wchar_t root[MAX_PATH + 1] = {};
  if (!GetVolumePathNameW(wide.c_str(), root, MAX_PATH))
    return std::nullopt;
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr))
    return std::nullopt;
  return VolumeSpace{win::FromWide(root), available.QuadPart};
}

}  // namespace os
