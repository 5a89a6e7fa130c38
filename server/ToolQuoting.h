// How a value is written into the runner's script so that it reaches the tool unchanged:
// on Windows for the command interpreter of a batch file, on Linux for /bin/sh.
#pragma once

#include <string>

namespace toolquoting {

// A path or other value that stands in double quotes on the Windows command line.
std::string Quoted(const std::string& value);
// A value that stands bare on the Windows command line (the user name, the password).
std::string Bare(const std::string& value);

}  // namespace toolquoting
