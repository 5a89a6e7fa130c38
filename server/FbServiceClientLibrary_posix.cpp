#include "server/FbServiceClientLibrary.h"

namespace fbclient {

// The system's loader finds the installed client library by its versioned name.
std::vector<std::string> LibraryCandidates() {
  return {"libfbclient.so.2"};
}

std::string LibraryFileName() {
  return "libfbclient.so.2";
}

}  // namespace fbclient
