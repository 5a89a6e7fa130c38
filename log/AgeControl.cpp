// Age control: drops the records older than MaxAge from the front of the log.
#include <algorithm>
#include <cstring>
#include <vector>

#include "log/HuxLogger.h"
#include "log/StreamIo.h"
#include "os/CodePage.h"

namespace {

constexpr std::int64_t kAgeMinFileSize = 32768;
constexpr std::int64_t kAgeReadBlock = 32768;

bool IsLevelChar(char c) {
  return c != 0 && std::memchr(kLogLevelChars, c, 8) != nullptr;
}

// The first byte after the LF that ends the line holding `from`; -1 when there is none.
std::int64_t NextLineStart(os::File& stream, std::int64_t from, std::int64_t size) {
  char buffer[4096];
  for (std::int64_t at = from; at < size;) {
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::int64_t>(sizeof buffer, size - at));
    ReadAt(stream, at, buffer, count);
    if (const void* lf = std::memchr(buffer, '\n', count))
      return at + (static_cast<const char*>(lf) - buffer) + 1;
    at += static_cast<std::int64_t>(count);
  }
  return -1;
}

// Closes the stream and notes the time of the run, however the run ends.
class AgeCheckRun {
 public:
  AgeCheckRun(os::File& stream, TDateTime& lastAgeCheck)
      : stream_(stream), lastAgeCheck_(lastAgeCheck) {}
  ~AgeCheckRun() {
    try {
      stream_.Close();
    } catch (...) {
    }
    lastAgeCheck_ = NowDateTime();
  }

 private:
  os::File& stream_;
  TDateTime& lastAgeCheck_;
};

}  // namespace

void THuxLogger::CutByAge(os::File& stream) {
  if (!(maxAge_ > 0))
    return;
  const std::int64_t size = stream.Size();
  if (size <= kAgeMinFileSize)
    return;
  const TDateTime now = NowDateTime();
  if (!(now - lastAgeCheck_ > kLogAgeCheckIntervalSec / 86400.0))
    return;
  AgeCheckRun run(stream, lastAgeCheck_);

  const int stampLength =
      static_cast<int>(os::Utf8ToAnsi(FormatDateTime(dateTimeFormat_, DecodeDateTime(now))).size());
  const int scanLimit = static_cast<int>(kAgeReadBlock) - 1 - (2 * stampLength + 5);
  bool started = false;
  TDateTime previous = 0;
  std::int64_t lastRecordAt = -1;  // file offset of the newest stamp read
  std::vector<char> block(kAgeReadBlock);

  // The final, partial block is never read: it holds the newest records.
  for (std::int64_t offset = 0; offset + kAgeReadBlock < size; offset += kAgeReadBlock) {
    ReadAt(stream, offset, block.data(), block.size());
    for (int i = 0; i < scanLimit;) {
      if (block[i] != '\n') {
        ++i;
        continue;
      }
      int stampAt = i + 1;
      int next = i + stampLength;
      if (IsLevelChar(block[i + 1]) && block[i + 2] == ' ') {
        stampAt = i + 3;
        next = i + stampLength + 2;
      }
      const std::int64_t lineStart = offset + i + 1;  // of this record
      i = std::max(next, i + 1);
      TDateTime stamp;
      if (!TryStrToDateTime(std::string(&block[stampAt], stampLength), now, stamp))
        continue;
      if (!started) {
        if (stamp + maxAge_ + maxAge_ / 3 > now)
          return;  // nothing old enough yet
        previous = stamp;
        started = true;
        lastRecordAt = offset + stampAt;
        continue;
      }
      if (stamp + maxAge_ <= now || previous + maxAge_ >= now) {
        previous = stamp;
        lastRecordAt = offset + stampAt;
        continue;
      }
      // The first young record after old ones. The cut goes back to the line after the last
      // old record read: lines between them were not examined and may be young too.
      if (trimInPlace_) {
        KeepFrom(stream, std::min(lineStart, NextLineStart(stream, lastRecordAt, size)));
      } else {
        stream.Close();
        RotateFiles();
      }
      return;
    }
  }
  if (!started)
    return;
  if (!trimInPlace_) {
    stream.Close();
    RotateFiles();
    return;
  }
  // Every record read was old. The lines after the last one read were not examined (the
  // unread tail holds the record just written), so they all stay.
  const std::int64_t keepFrom = NextLineStart(stream, lastRecordAt, size);
  if (keepFrom > 0 && keepFrom < size)
    KeepFrom(stream, keepFrom);
}
