#include "repair/FreeSpace.h"

#include <cstdint>
#include <map>
#include <optional>

#include "os/DiskSpace.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "repair/RepairMessages.h"

using namespace repairtext;

namespace {

std::string FolderOf(const std::string& file) {
  const std::string folder = os::ExtractFileDir(file);
  return folder.empty() ? "." : folder;
}

}  // namespace

void EnsureRoomForRepair(const std::string& databaseFile, const std::string& safetyCopy) {
  const std::optional<std::int64_t> size = os::FileSize(databaseFile);
  if (!size || *size <= 0)
    return;
  const auto bytes = static_cast<std::uint64_t>(*size);
  // What each volume must hold, with the free space it reports.
  std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> volumes;
  const auto need = [&volumes](const std::string& folder, std::uint64_t amount) {
    if (const std::optional<os::VolumeSpace> space = os::SpaceOf(folder)) {
      auto& [needed, free] = volumes[space->volume];
      needed += amount;
      free = space->freeBytes;
    }
  };
  need(FolderOf(safetyCopy), bytes);
  need(FolderOf(databaseFile), 2 * bytes);
  for (const auto& [volume, room] : volumes) {
    if (room.first > room.second) {
      throw Exception(NoRoomMessage(volume, room.first, room.second));
    }
  }
}
