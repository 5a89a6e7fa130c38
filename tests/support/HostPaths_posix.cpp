#include "tests/support/HostPaths.h"

namespace testsupport {

std::string HostPath(const std::string& localPath) {
  return localPath;
}

std::string HostToolArgument(const std::string& argument) {
  return argument;
}

}  // namespace testsupport
