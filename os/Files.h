// Files and directories. Paths are UTF-8; on Windows they are converted to UTF-16 at the call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace os {

// '\\' on Windows, '/' on POSIX.
char PathDelimiter();
bool IsPathDelimiter(char c);

bool FileExists(const std::string& path);  // exists and is not a directory
bool DirectoryExists(const std::string& path);
// Creates the directory and any missing parents; true when it exists afterwards.
bool ForceDirectories(const std::string& path);
// Creates one directory whose parent exists; true when it exists afterwards, also when
// another process made it first.
bool MakeDirectory(const std::string& path);
// These return false on failure and leave the system's error code for LastErrorCode().
bool RemoveFile(const std::string& path);
// For a file this program made (a script, a tool log, a scratch or partial file): a sharing
// violation, a scanner that opened the fresh file for a moment, is waited out for a few
// seconds before the removal counts as failed. RemoveFile gives up at once: for a file that
// another program may hold, the caller decides how long to wait.
bool RemoveOwnFile(const std::string& path);
// Renames and copies wait out a sharing violation in the same way. A copy that fails removes
// what it had written; it is never read-only, whatever the source is.
bool RenameFile(const std::string& from, const std::string& to);         // fails if `to` exists
bool CopyFileNoReplace(const std::string& from, const std::string& to);  // fails if `to` exists

struct DirEntry {
  std::string name;  // without the directory
  bool isDirectory = false;
};
// Entries of the directory of `pattern` whose names match its last part, which may hold
// '*' and '?' (as FindFirstFile matches them), whatever their attributes.
std::vector<DirEntry> FindEntries(const std::string& pattern);

// The user's temporary directory with a trailing delimiter (GetTempPath on Windows,
// $TMPDIR or /tmp/ on POSIX).
std::string TempDirectory();

// Identity of a file on its volume (volume serial and file index on Windows, device and
// inode on POSIX); empty when the file cannot be opened.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const std::string& path);
// True when both paths name one existing file, however they are spelled.
bool SameFile(const std::string& a, const std::string& b);

std::optional<std::int64_t> FileSize(const std::string& path);

// Reads the whole file; throws EFileError (with the system's text) on failure.
std::string ReadWholeFile(const std::string& path);

// The full path of the running program, and its directory with a trailing delimiter.
std::string ProgramPath();
std::string ProgramDirectory();

// Path helpers on UTF-8 strings, with the platform's delimiter (Windows also accepts '/').
std::string ExtractFileDir(const std::string& path);   // without trailing delimiter
std::string ExtractFilePath(const std::string& path);  // with trailing delimiter, "" if none
std::string ExtractFileName(const std::string& path);
std::string ExtractFileExt(const std::string& path);  // from the last dot of the name, with it
// Replaces everything from the last dot of the file-name part; appends when there is no dot.
std::string ChangeFileExt(const std::string& path, const std::string& ext);
std::string IncludeTrailingDelimiter(const std::string& path);
bool HasDirectoryPart(const std::string& path);

}  // namespace os
