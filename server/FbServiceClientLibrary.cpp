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
  std::string path;
};

std::mutex& LoadMutex() {
  static std::mutex mutex;
  return mutex;
}

std::function<void(const std::string&)>& LoadReport() {
  static std::function<void(const std::string&)> report;
  return report;
}

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
    return {std::move(library), entry(), candidate};
  }
  throw EFirebirdError(
      Format("Не удалось загрузить клиентскую библиотеку сервера базы данных %s (%s)",
             {LibraryFileName(), failures}));
}

}  // namespace

void SetLoadReport(std::function<void(const std::string& library)> report) {
  std::lock_guard lock(LoadMutex());
  LoadReport() = std::move(report);
}

Firebird::IMaster* Master() {
  // Deliberately never freed, not even at exit: see the header.
  static Loaded* loaded = nullptr;
  std::lock_guard lock(LoadMutex());
  if (loaded == nullptr) {
    loaded = new Loaded(LoadClientLibrary());
    if (LoadReport())
      LoadReport()(loaded->path);
  }
  return loaded->master;
}

}  // namespace fbclient
