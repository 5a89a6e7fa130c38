// The characters test behind CharactersOutsideCodePages with the code pages given, so that a
// system whose code page is UTF-8 (the Windows 10/11 option) can be tried on any system.
#pragma once

#include <windows.h>

#include <string>

namespace os::win {

// The distinct characters of `utf8` that code page `ansi` or `oem` cannot carry exactly.
std::string CharactersOutside(const std::string& utf8, UINT ansi, UINT oem);

}  // namespace os::win
