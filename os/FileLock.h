// Whether another process has a file open, asked without waiting.
#pragma once

#include <memory>
#include <string>

namespace os {

class FileLock {
 public:
  // On Linux an exclusive flock on the file, refused while the database server has it open
  // (the server holds such a lock on every database it has attached); it is held until the
  // object goes, so the server cannot open the file meanwhile. On Windows a handle that
  // shares nothing but deletion, refused while any other handle reads or writes the file;
  // it is closed at once, because a kept handle would keep a deleted file's name taken.
  // Returns nullptr when refused, with the error code left for LastErrorCode().
  static std::unique_ptr<FileLock> TryExclusive(const std::string& path);
  virtual ~FileLock() = default;
};

}  // namespace os
