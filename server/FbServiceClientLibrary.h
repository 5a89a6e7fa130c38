// The database server's client library, loaded at run time on first use and kept for the
// life of the process (unloading it while its threads may still run is not safe).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace Firebird {
class IMaster;
}

namespace fbclient {

// Where to look for the library, in order (per OS).
std::vector<std::string> LibraryCandidates();
// The library's file name, for messages ("fbclient.dll", "libfbclient.so.2").
std::string LibraryFileName();

// Readies the process for the library before it is loaded (per OS). Only its first call acts:
// the program calls it at the start of main, before any thread could read the locale it sets;
// loading the library calls it again for processes that did not.
void PrepareProcess();

// Called once, with the path the library was loaded from (as a candidate names it), when the
// library has been loaded; the program writes it to the session log.
void SetLoadReport(std::function<void(const std::string& library)> report);

// The library's master interface; throws EFirebirdError with a plain explanation when the
// library cannot be loaded or is too old to have the object interface.
Firebird::IMaster* Master();

}  // namespace fbclient
