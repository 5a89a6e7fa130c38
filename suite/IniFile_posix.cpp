#include <dlfcn.h>

#include <fstream>
#include <sstream>

#include "suite/IniFile.h"

namespace fbutils {

std::string ReadIniBesideLibrary() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ReadIniBesideLibrary), &info) == 0 || !info.dli_fname)
    return std::string();
  std::string path = info.dli_fname;
  const std::size_t slash = path.rfind('/');
  path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "fbUtils.ini";
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace fbutils
