#include "server/FbServiceClientLibrary.h"

#include "server/FixedPaths.h"

namespace fbclient {

// The suite's own server installation first, so that its client matches its server; then the
// 32-bit client a 64-bit server keeps in WOW64 (a library of the other bitness does not load,
// and the next one is tried); then whatever the system's search order finds.
std::vector<std::string> LibraryCandidates() {
  const std::string firebird = paths::FirebirdDirectory();
  return {firebird + "\\fbclient.dll", firebird + "\\bin\\fbclient.dll",
          firebird + "\\WOW64\\fbclient.dll", "fbclient.dll"};
}

std::string LibraryFileName() {
  return "fbclient.dll";
}

// The library takes file names in the system's code page or, marked so, in UTF-8: nothing to
// ready.
void PrepareProcess() {}

}  // namespace fbclient
