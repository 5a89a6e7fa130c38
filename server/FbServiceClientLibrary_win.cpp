#include "server/FbServiceClientLibrary.h"

#include "server/FixedPaths.h"

namespace fbclient {

// The suite's own server installation first, so that its client matches its server; then
// whatever the system's search order finds.
std::vector<std::string> LibraryCandidates() {
  const std::string firebird = paths::FirebirdDirectory();
  return {firebird + "\\fbclient.dll", firebird + "\\bin\\fbclient.dll", "fbclient.dll"};
}

std::string LibraryFileName() {
  return "fbclient.dll";
}

// The library takes file names in the system's code page or, marked so, in UTF-8: nothing to
// ready.
void PrepareProcess() {}

}  // namespace fbclient
