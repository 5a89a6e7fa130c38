// Opening the log for one record, waiting a little while another program holds it.
#include "log/HuxLogger.h"
#include "os/SystemError.h"
#include "os/Time.h"

namespace {

[[noreturn]] void RaiseOpenFailure(const std::string& fileName, os::File::Mode mode, int code) {
  const char* pattern = mode == os::File::Mode::CreateExclusive ? "Cannot create file \"%s\". %s"
                                                                : "Cannot open file \"%s\". %s";
  throw EFileError(Format(pattern, {fileName, os::SystemErrorText(code)}), code);
}

}  // namespace

std::unique_ptr<os::File> THuxLogger::OpenLogStream(const std::string& fileName,
                                                    os::File::Mode mode, int timeoutMs) {
  if (timeoutMs < 0)
    timeoutMs = kLogOpenTimeoutMs;
  const std::uint64_t deadline = os::MonotonicMs() + static_cast<std::uint64_t>(timeoutMs);
  for (;;) {
    if (auto file = os::File::Open(fileName, mode))
      return file;
    const int code = os::LastErrorCode();
    if (timeoutMs == 0 || !os::IsSharingViolation(code))
      RaiseOpenFailure(fileName, mode, code);
    if (os::MonotonicMs() >= deadline)
      throw Exception(Format("Log file open timeout: %d ms (%s)",
                             {std::int64_t{timeoutMs}, os::SystemErrorText(code)}));
    os::SleepMs(kLogOpenRetryPauseMs);
  }
}
