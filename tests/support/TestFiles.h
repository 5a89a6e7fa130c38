// Files and texts as the tests look at them, on both platforms (paths in UTF-8).
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// The file's bytes; "<missing>" when there is no such file or it cannot be read.
std::string FileBytes(const std::string& path);
// Writes `bytes` as the whole file, making its folder first; false when that fails.
bool PutFile(const std::string& path, const std::string& bytes);
// Whether anything but white space is in `text`.
bool IsBlank(const std::string& text);
// Whether two texts name the same file as the platform's file system compares names: on
// Windows regardless of the case of Latin letters.
bool SamePathText(const std::string& a, const std::string& b);
// The names in a folder, without "." and "..".
std::vector<std::string> FolderNames(const std::string& folder);

}  // namespace testsupport
