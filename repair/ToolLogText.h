// How the rebuild reads what gbak left in the tool log.
#pragma once

#include <string>

namespace toollog {

// The file as a list of lines joined again, each followed by CR LF (so line ends of any
// kind read alike). Throws the file layer's error when it cannot be read.
std::string ReadAsText(const std::string& path);

// Case-sensitive, anywhere in the text, inside a longer line too.
bool HasMarker(const std::string& text, const std::string& marker);

// gbak reached its end marker but says the new database is not fit for use: an error after
// the marker, or a database left off-line because an index could not be activated.
bool RestoreLeftUnusableDatabase(const std::string& text, const std::string& endMarker);

}  // namespace toollog
