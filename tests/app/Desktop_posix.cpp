#include "tests/app/Desktop.h"

// An FLTK box draws its text itself: nothing outside the program can read it.
std::optional<std::string> MessageBoxText(const std::string&) {
  return std::nullopt;
}
