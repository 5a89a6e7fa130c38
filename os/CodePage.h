// Text conversion at the edges of the program. Inside, every string is UTF-8.
// On Windows "ANSI" and "OEM" are the system's code pages (1251 and 866 on a Russian
// system); on POSIX both are UTF-8 and the conversions are identities.
#pragma once

#include <string>

namespace os {

std::string Utf8ToAnsi(const std::string& utf8);
std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToOem(const std::string& utf8);
std::string OemToUtf8(const std::string& oem);

// The characters of `utf8` that the console's (OEM) or the system's (ANSI) code page cannot
// hold, each once, in order of appearance; empty when every one fits, and always on POSIX.
// A command line read from a batch file would reach its program with "?" in their place.
std::string CharactersOutsideCodePages(const std::string& utf8);

// Lower/upper case under the user's locale rules; Cyrillic letters included.
std::string LowerCase(const std::string& utf8);
std::string UpperCase(const std::string& utf8);
// Locale-aware, case-insensitive equality of two strings as they stand.
bool SameTextLocale(const std::string& a, const std::string& b);

}  // namespace os
