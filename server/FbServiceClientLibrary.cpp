#include "server/FbServiceClientLibrary.h"

#include <memory>
#include <mutex>

#include "os/DynamicLibrary.h"
#include "os/Format.h"
#include "server/FbService.h"

namespace fbclient {

namespace {

using MasterEntry = Firebird::IMaster* (*)();

struct Loaded {
  std::unique_ptr<os::DynamicLibrary> library;
  Firebird::IMaster* master = nullptr;
};

// Tries the candidates in order; the first that loads is used, even if it lacks the entry.
Loaded LoadClientLibrary() {
  PrepareProcess();
  std::string failures;
  for (const std::string& candidate : LibraryCandidates()) {
    std::string error;
    auto library = os::DynamicLibrary::Load(candidate, &error);
    if (!library) {
      failures += (failures.empty() ? "" : "; ") + candidate + ": " + error;
      continue;
    }
    auto entry = reinterpret_cast<MasterEntry>(library->Symbol("fb_get_master_interface"));
    if (entry == nullptr) {
      throw EFirebirdError(
          Format("Клиентская библиотека сервера базы данных \"%s\" устарела: в ней нет "
                 "функции fb_get_master_interface",
                 {candidate}));
    }
    return {std::move(library), entry()};
  }
  throw EFirebirdError(
      Format("Не удалось загрузить клиентскую библиотеку сервера базы данных %s (%s)",
             {LibraryFileName(), failures}));
}

}  // namespace

Firebird::IMaster* Master() {
  static std::mutex mutex;
  // Deliberately never freed, not even at exit: see the header.
  static Loaded* loaded = nullptr;
  std::lock_guard lock(mutex);
  if (loaded == nullptr)
    loaded = new Loaded(LoadClientLibrary());
  return loaded->master;
}

}  // namespace fbclient
