// Every value goes into single quotes, where /bin/sh interprets nothing; a single quote of
// the value itself is written as '\''.
#include "server/ToolQuoting.h"

namespace toolquoting {

std::string Quoted(const std::string& value) {
  std::string result = "'";
  for (char c : value) {
    if (c == '\'')
      result += "'\\''";
    else
      result += c;
  }
  return result + "'";
}

std::string Bare(const std::string& value) {
  return Quoted(value);
}

}  // namespace toolquoting
