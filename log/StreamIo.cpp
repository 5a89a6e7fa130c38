#include "log/StreamIo.h"

#include <vector>

#include "os/Exception.h"

void ReadAt(os::File& file, std::int64_t offset, void* buffer, std::size_t count) {
  file.Seek(offset);
  auto* bytes = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const std::size_t got = file.Read(bytes + done, count - done);
    if (got == 0)
      throw EFileError("Read beyond end of file", 38);
    done += got;
  }
}

void CopyTail(os::File& source, std::int64_t from, os::File& target) {
  std::vector<char> buffer(64 * 1024);
  source.Seek(from);
  for (;;) {
    const std::size_t got = source.Read(buffer.data(), buffer.size());
    if (got == 0)
      break;
    target.Write(buffer.data(), got);
  }
}
