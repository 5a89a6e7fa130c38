// The stand-in's own arguments in UTF-8, without the program name. On Windows they are taken
// from the wide command line, so that Cyrillic paths arrive as the caller wrote them.
#pragma once

#include <string>
#include <vector>

namespace standin {

std::vector<std::string> Arguments(int argc, char** argv);

}  // namespace standin
