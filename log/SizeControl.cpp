// Cutting an oversized log to its newest part, in place, through a temporary file.
#include "log/HuxLogger.h"
#include "log/StreamIo.h"
#include "os/Files.h"
#include "os/Process.h"
#include "os/SystemError.h"

namespace {

constexpr std::int64_t kLineSearchBlock = 255;

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

// Where the kept part begins: right after the nearest line break before `cutPoint`, found in
// 255-byte steps backwards; the cut point itself when there is none within reach.
std::int64_t KeptPartStart(os::File& stream, std::int64_t cutPoint) {
  char block[kLineSearchBlock];
  std::int64_t examinedFrom = cutPoint;
  std::int64_t passed = 0;
  while (examinedFrom >= kLineSearchBlock) {
    ReadAt(stream, examinedFrom - kLineSearchBlock, block, sizeof block);
    for (std::int64_t j = kLineSearchBlock - 1; j >= 0; --j) {
      if (!IsLineBreak(block[j])) {
        ++passed;
        continue;
      }
      std::int64_t start = cutPoint - passed;
      // A CR whose LF lies just past it: the line begins after the pair, not between them.
      if (block[j] == '\r') {
        char next = 0;
        ReadAt(stream, start, &next, 1);
        if (next == '\n')
          ++start;
      }
      return start;
    }
    examinedFrom -= kLineSearchBlock;
  }
  return cutPoint;
}

}  // namespace

std::string THuxLogger::TempFileName() const {
  return Format("%s_%d_%d", {fileName_, std::int64_t{os::CurrentProcessId()},
                             std::int64_t{os::CurrentThreadId()}});
}

void THuxLogger::KeepFrom(os::File& stream, std::int64_t start) {
  const std::string tempName = TempFileName();
  auto temp = os::File::Open(tempName, os::File::Mode::CreateExclusive);
  if (!temp) {
    const int code = os::LastErrorCode();
    throw EFileError(Format("Cannot create file \"%s\". %s", {tempName, os::SystemErrorText(code)}),
                     code);
  }
  try {
    CopyTail(stream, start, *temp);
    stream.SetSize(temp->Size());
    stream.Seek(0);
    CopyTail(*temp, 0, stream);
  } catch (...) {
    temp->Close();
    os::RemoveFile(tempName);
    throw;
  }
  temp->Close();
  os::RemoveFile(tempName);
}

void THuxLogger::CutBySize(os::File& stream) {
  if (!trimInPlace_) {
    stream.Close();
    RotateFiles();
    return;
  }
  const std::int64_t size = stream.Size();
  if (size <= maxSize_ + kLineSearchBlock)
    return;
  KeepFrom(stream, KeptPartStart(stream, size - maxSize_));
}
