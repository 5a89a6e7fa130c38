// How much room a volume has left for the program's files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace os {

struct VolumeSpace {
  // The volume's root as the operator knows it ("C:\", "\\server\share\"; on POSIX the mount
  // point): two folders on one volume give the same text.
  std::string volume;
  std::uint64_t freeBytes = 0;  // what this user may still write there
};

// The volume that holds the existing folder `folder`; empty when the system cannot tell.
std::optional<VolumeSpace> SpaceOf(const std::string& folder);

}  // namespace os
