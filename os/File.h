// An open file with the two sharing modes the session log needs. On Windows the share
// modes are real (another opener may be refused with a sharing violation); POSIX has none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace os {

class File {
 public:
  enum class Mode {
    OpenReadWriteShared,  // existing file, read-write, others may read and write
    CreateExclusive,      // create or truncate, read-write, nobody else while open
    OpenReadShared,       // existing file, read only, others may read and write
  };

  // Returns nullptr on failure and leaves the error code for LastErrorCode().
  static std::unique_ptr<File> Open(const std::string& path, Mode mode);
  // CreateExclusive for a file of this program's own (a script): a sharing violation, a
  // scanner looking at the old file of that name, is waited out for a few seconds.
  static std::unique_ptr<File> CreateOwn(const std::string& path);
  virtual ~File() = default;

  // All of these throw EFileError with the system's text on failure.
  virtual std::int64_t Size() = 0;
  virtual void Seek(std::int64_t offset) = 0;                     // from the start
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;  // 0 at the end
  virtual void Write(const void* data, std::size_t count) = 0;    // all or throw
  virtual void SetSize(std::int64_t size) = 0;                    // truncate or extend
  virtual void Close() = 0;                                       // idempotent
};

}  // namespace os
