#include "server/FbServiceClientLibrary.h"

#include <langinfo.h>

#include <clocale>
#include <cstring>
#include <mutex>

#include "server/FixedPaths.h"

namespace fbclient {

// The suite's own server installation first, so that its client matches its server; then the
// one the system's loader finds by its versioned name.
std::vector<std::string> LibraryCandidates() {
  const std::string lib = paths::FirebirdDirectory() + "/lib/";
  return {lib + "libfbclient.so.2", lib + "libfbclient.so", "libfbclient.so.2"};
}

std::string LibraryFileName() {
  return "libfbclient.so.2";
}

// The library turns a UTF-8 file name into the process's character set before it sends it,
// and that set stays ASCII until the process takes a locale: a database under a folder with a
// Cyrillic name then fails to attach ("Cannot transliterate character between character
// sets"). The program's strings are UTF-8 everywhere, so its character set is UTF-8 too: the
// operator's own when it is UTF-8, else the C library's.
void PrepareProcess() {
  static std::once_flag once;
  std::call_once(once, [] {
    const auto utf8 = [] {
      const char* codeset = nl_langinfo(CODESET);
      return codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
    };
    if (std::setlocale(LC_CTYPE, "") == nullptr || !utf8())
      std::setlocale(LC_CTYPE, "C.UTF-8");
  });
}

}  // namespace fbclient
