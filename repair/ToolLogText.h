// How the rebuild reads what gbak left in the tool log.
#pragma once

#include <string>

namespace toollog {

// The file as a list of lines joined again, each followed by CR LF (so line ends of any
// kind read alike). Throws the file layer's error when it cannot be read.
std::string ReadAsText(const std::string& path);

// Case-sensitive, anywhere in the text, inside a longer line too.
bool HasMarker(const std::string& text, const std::string& marker);

// gbak reported an error: "ERROR:" in any line. Its error stream is not buffered and its
// standard output is, so such a line may stand anywhere, before the end marker too.
bool ReportsError(const std::string& text);

// A restore that reached its end marker but left the new database off-line, because an index
// could not be activated.
bool LeftDatabaseOffline(const std::string& text);

}  // namespace toollog
