// Path helpers shared by both platforms; only the delimiter rule differs (Files.h).
#include <cstddef>
#include <string>

#include "os/Files.h"

namespace os {

namespace {

// Index of the last delimiter, or of the drive colon on Windows-style paths; npos if none.
std::size_t LastDelimiter(const std::string& path) {
  for (std::size_t i = path.size(); i-- > 0;) {
    if (IsPathDelimiter(path[i]))
      return i;
    if (path[i] == ':' && PathDelimiter() == '\\')
      return i;
  }
  return std::string::npos;
}

// Index of the dot that starts the extension of the file-name part, or npos.
std::size_t ExtensionDot(const std::string& path) {
  const std::size_t nameStart = LastDelimiter(path) + 1;  // npos + 1 == 0
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < nameStart)
    return std::string::npos;
  return dot;
}

}  // namespace

std::string ExtractFilePath(const std::string& path) {
  const std::size_t last = LastDelimiter(path);
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string ExtractFileDir(const std::string& path) {
  const std::size_t last = LastDelimiter(path);
  if (last == std::string::npos)
    return std::string();
  // Keep the root ("/", "C:\") and a drive's colon whole: they are directories by themselves.
  const bool isRoot =
      last == 0 || path[last] == ':' || (last == 2 && path[1] == ':' && PathDelimiter() == '\\');
  return path.substr(0, isRoot ? last + 1 : last);
}

std::string ExtractFileName(const std::string& path) {
  const std::size_t last = LastDelimiter(path);
  return last == std::string::npos ? path : path.substr(last + 1);
}

std::string ExtractFileExt(const std::string& path) {
  const std::size_t dot = ExtensionDot(path);
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  const std::size_t dot = ExtensionDot(path);
  return (dot == std::string::npos ? path : path.substr(0, dot)) + ext;
}

std::string IncludeTrailingDelimiter(const std::string& path) {
  if (!path.empty() && IsPathDelimiter(path.back()))
    return path;
  return path + PathDelimiter();
}

bool HasDirectoryPart(const std::string& path) {
  return LastDelimiter(path) != std::string::npos;
}

std::string ProgramDirectory() {
  return ExtractFilePath(ProgramPath());
}

}  // namespace os
