#include "os/Files.h"

#include "os/Exception.h"
#include "os/SystemError.h"
#include "os/win/SharingRetry.h"
#include "os/win/Wide.h"

namespace os {

namespace {

DWORD AttributesOf(const std::string& path) {
  if (path.empty())
    return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesW(win::ToWide(path).c_str());
}

// A handle that may also name a directory, for asking about the file rather than its data.
HANDLE OpenForQuery(const std::string& path) {
  return CreateFileW(win::ToWide(path).c_str(), 0,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

char PathDelimiter() {
  return '\\';
}

bool IsPathDelimiter(char c) {
  return c == '\\' || c == '/';
}

bool FileExists(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirectory(const std::string& path) {
  if (!CreateDirectoryW(win::ToWide(path).c_str(), nullptr) &&
      GetLastError() != ERROR_ALREADY_EXISTS)
    return false;
  return DirectoryExists(path);
}

bool RemoveFile(const std::string& path) {
  return DeleteFileW(win::ToWide(path).c_str()) != 0;
}

bool RemoveOwnFile(const std::string& path) {
  const std::wstring wide = win::ToWide(path);
  return win::RetryingSharingViolations([&] { return DeleteFileW(wide.c_str()) != 0; });
}

bool RenameFile(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING an existing target is refused.
  const std::wstring source = win::ToWide(from);
  const std::wstring target = win::ToWide(to);
  return win::RetryingSharingViolations(
      [&] { return MoveFileW(source.c_str(), target.c_str()) != 0; });
}

bool CopyFileNoReplace(const std::string& from, const std::string& to) {
  const std::wstring source = win::ToWide(from);
  const std::wstring target = win::ToWide(to);
  const bool copied = win::RetryingSharingViolations(
      [&] { return CopyFileW(source.c_str(), target.c_str(), TRUE) != 0; });
  const DWORD code = copied ? ERROR_SUCCESS : GetLastError();
  if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS)
    return false;  // the file there is someone else's
  // The copy takes the source's attributes: a read-only database would give a read-only copy
  // that could be neither written, replaced nor deleted afterwards.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesW(target.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  // A half-written copy must not pass for a copy.
  if (!copied)
    DeleteFileW(target.c_str());
  SetLastError(code);
  return copied;
}

std::vector<DirEntry> FindEntries(const std::string& pattern) {
  std::vector<DirEntry> entries;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(win::ToWide(pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return entries;
  do {
    entries.push_back(DirEntry{win::FromWide(found.cFileName, wcslen(found.cFileName)),
                               (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return entries;
}

std::string TempDirectory() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH)
    return std::string();
  return IncludeTrailingDelimiter(win::FromWide(buffer, length));
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  HANDLE handle = OpenForQuery(path);
  if (handle == INVALID_HANDLE_VALUE)
    return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const BOOL ok = GetFileInformationByHandle(handle, &info);
  CloseHandle(handle);
  if (!ok)
    return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

bool SameFile(const std::string& a, const std::string& b) {
  const auto first = IdentityOf(a);
  const auto second = IdentityOf(b);
  return first && second && *first == *second;
}

std::optional<std::int64_t> FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (path.empty() ||
      !GetFileAttributesExW(win::ToWide(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::nullopt;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                   data.nFileSizeLow);
}

std::string ReadWholeFile(const std::string& path) {
  auto fail = [&path](DWORD code) {
    throw EFileError(
        "Не удалось прочитать файл \"" + path + "\": " + SystemErrorText(static_cast<int>(code)),
        static_cast<int>(code));
  };
  // Others may go on writing (a tool still filling its log), so share everything.
  HANDLE handle = CreateFileW(win::ToWide(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    fail(GetLastError());
  std::string content;
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(handle, buffer, sizeof buffer, &got, nullptr)) {
      const DWORD code = GetLastError();
      CloseHandle(handle);
      fail(code);
    }
    if (got == 0)
      break;
    content.append(buffer, got);
  }
  CloseHandle(handle);
  return content;
}

std::string ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
      return std::string();
    if (length < path.size())
      return win::FromWide(path.data(), length);
    path.resize(path.size() * 2);
  }
}

}  // namespace os
