// A small file system of its own (a tmpfs) at a folder both the test and the private server
// see, to fill a disk for real. The server runs in a mount namespace of its own, so a test
// that wants to share its mounts joins that namespace first (JoinServerMounts, before any
// thread starts: the kernel refuses it to a process with more than one).
#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

// Moves this process into the private server's mount namespace; false when that cannot be
// done (not root, no server, threads already running).
bool JoinServerMounts();

class SmallVolume {
 public:
  // Creates `folder` and mounts a tmpfs of `bytes` there; Ok() tells whether that worked.
  SmallVolume(std::string folder, std::uint64_t bytes);
  ~SmallVolume();
  SmallVolume(const SmallVolume&) = delete;
  SmallVolume& operator=(const SmallVolume&) = delete;
  bool Ok() const { return mounted_; }
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

}  // namespace testsupport
