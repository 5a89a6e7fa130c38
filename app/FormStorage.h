// FormStorage1: keeps the chosen database file name between runs in the current user's
// settings (the registry key "Software\Norwin\Velmar\VelmarDBRepair" on Windows, the user's
// FLTK preferences "Norwin/Velmar/VelmarDBRepair" elsewhere). The value is stored exactly as
// given, valid or not.
#pragma once

#include <optional>
#include <string>

namespace form_storage {

// The stored file name, or nothing on a first run or when the store cannot be read.
std::optional<std::string> LoadFileName();
// Stores the file name; false when the store cannot be written (the program goes on).
bool StoreFileName(const std::string& fileName);

}  // namespace form_storage
