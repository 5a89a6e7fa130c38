// Creating a directory tree, the same on both platforms over each one's MakeDirectory.
#include <string>

#include "os/Files.h"

namespace os {

bool ForceDirectories(const std::string& path) {
  if (path.empty())
    return false;
  // Trailing delimiters go, but a root ("/", "C:\") stays whole.
  std::string dir = path;
  while (dir.size() > 1 && IsPathDelimiter(dir.back()) && ExtractFileDir(dir) != dir)
    dir.pop_back();
  if (DirectoryExists(dir))
    return true;
  const std::string parent = ExtractFileDir(dir);
  if (!parent.empty() && parent != dir && !ForceDirectories(parent))
    return false;
  // Another process may create it between the test and here: MakeDirectory counts that.
  return MakeDirectory(dir);
}

}  // namespace os
