#include "suite/IniFile.h"

#include <cctype>
#include <sstream>

namespace fbutils {

namespace {

std::string Trim(const std::string& s) {
  std::size_t first = 0;
  std::size_t last = s.size();
  while (first < last && static_cast<unsigned char>(s[first]) <= ' ')
    ++first;
  while (last > first && static_cast<unsigned char>(s[last - 1]) <= ' ')
    --last;
  return s.substr(first, last - first);
}

bool SameAsciiText(const std::string& a, const std::string& b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> IniValue(const std::string& text, const std::string& section,
                                    const std::string& key) {
  std::istringstream lines(text);
  std::string line;
  bool inSection = false;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#')
      continue;
    if (line.front() == '[' && line.back() == ']') {
      inSection = SameAsciiText(Trim(line.substr(1, line.size() - 2)), section);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos)
      continue;
    if (SameAsciiText(Trim(line.substr(0, equals)), key))
      return Trim(line.substr(equals + 1));
  }
  return std::nullopt;
}

}  // namespace fbutils
