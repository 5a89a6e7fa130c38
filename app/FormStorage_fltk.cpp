// The file name in the user's FLTK preferences: $HOME/.fltk/Norwin/Velmar/VelmarDBRepair.prefs.

#include <cstdlib>

#include "app/FormStorage.h"

// FLTK last: its X11 headers define None, which DialogIcon::None needs undefined.
#include <FL/Fl_Preferences.H>
#undef None

namespace form_storage {

namespace {

constexpr const char* kVendor = "Norwin";
constexpr const char* kApplication = "Velmar/VelmarDBRepair";
constexpr const char* kFileNameEntry = "FilenameEdit1_FileName";

}  // namespace

std::optional<std::string> LoadFileName() {
  Fl_Preferences prefs(Fl_Preferences::USER, kVendor, kApplication);
  if (!prefs.entryExists(kFileNameEntry))
    return std::nullopt;
  char* value = nullptr;
  if (!prefs.get(kFileNameEntry, value, "")) {
    std::free(value);
    return std::nullopt;
  }
  std::string fileName = value ? value : "";
  std::free(value);
  return fileName;
}

bool StoreFileName(const std::string& fileName) {
  Fl_Preferences prefs(Fl_Preferences::USER, kVendor, kApplication);
  if (!prefs.set(kFileNameEntry, fileName.c_str()))
    return false;
  prefs.flush();
  // flush() reports nothing: read the file back to know whether it was written.
  Fl_Preferences check(Fl_Preferences::USER, kVendor, kApplication);
  char* value = nullptr;
  const bool stored = check.get(kFileNameEntry, value, "") && value && fileName == value;
  std::free(value);
  return stored;
}

}  // namespace form_storage
