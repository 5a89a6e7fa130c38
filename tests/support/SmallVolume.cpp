#include "tests/support/SmallVolume.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace testsupport {

bool JoinServerMounts() {
  const char* dir = std::getenv("VELMAR_FB_DIR");
  if (dir == nullptr || *dir == '\0')
    return false;
  std::ifstream pidFile(std::string(dir) + "/pid");
  long pid = 0;
  if (!(pidFile >> pid) || pid <= 0)
    return false;
  const int ns = ::open(("/proc/" + std::to_string(pid) + "/ns/mnt").c_str(), O_RDONLY | O_CLOEXEC);
  if (ns < 0)
    return false;
  const bool joined = ::setns(ns, CLONE_NEWNS) == 0;
  ::close(ns);
  return joined;
}

SmallVolume::SmallVolume(std::string folder, std::uint64_t bytes) : folder_(std::move(folder)) {
  std::error_code ignored;
  std::filesystem::create_directories(folder_, ignored);
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
  mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallVolume::~SmallVolume() {
  if (mounted_)
    ::umount2(folder_.c_str(), MNT_DETACH);
}

}  // namespace testsupport
