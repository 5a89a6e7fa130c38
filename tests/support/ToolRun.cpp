#include "tests/support/ToolRun.h"

namespace testsupport {

std::string GfixPath() {
  return "/usr/bin/gfix";
}
std::string GbakPath() {
  return "/usr/bin/gbak";
}
std::string IsqlPath() {
  return "/usr/bin/isql-fb";
}

}  // namespace testsupport
