// One record: open, append, size or age control, close; failures go to the error writer.
#include <exception>
#include <string>

#include "log/HuxLogger.h"
#include "log/LogText.h"
#include "log/PostNotify.h"
#include "os/CodePage.h"
#include "os/Files.h"

namespace {

// Releases the logger on every way out of Write.
class AcquiredLogger {
 public:
  explicit AcquiredLogger(THuxLogger& logger) : logger_(logger) { logger_.Acquire(); }
  ~AcquiredLogger() { logger_.Release(); }

 private:
  THuxLogger& logger_;
};

}  // namespace

void THuxLogger::WriteFmt(const std::string& pattern, std::initializer_list<FormatArg> args,
                          TLogLevel level) {
  Write(Format(pattern, args), level);
}

void THuxLogger::Write(const std::string& text, TLogLevel level) {
  if (!enabled_)
    return;
  if (level > 7 || !levels_.test(level))
    return;
  AcquiredLogger acquired(*this);
  if (fileName_.empty())
    return;

  std::string trimmed = text;
  std::string line;
  std::string stage;
  bool lineInData = false;
  std::string failure;
  std::string failureClass;
  try {
    line = BuildLine(trimmed, level);
    std::unique_ptr<os::File> stream;
    try {
      if (os::FileExists(fileName_)) {
        stage = "fmOpenReadWrite";
        stream = OpenLogStream(fileName_, os::File::Mode::OpenReadWriteShared, kLogOpenTimeoutMs);
      } else {
        stage = "fmCreate";
        stream = OpenLogStream(fileName_, os::File::Mode::CreateExclusive, kLogOpenTimeoutMs);
      }
      stage += "-OK";
      const std::string data = os::Utf8ToAnsi(line) + "\r\n";
      lineInData = true;
      stream->Seek(stream->Size());
      stream->Write(data.data(), data.size());
      stage += ";ProcessFile...";
      if (maxSize_ > 0 && stream->Size() > maxSize_ + maxSize_ / 3) {
        CutBySize(*stream);
      } else {
        CutByAge(*stream);
      }
    } catch (...) {
      if (stream) {
        try {
          stream->Close();
        } catch (...) {
        }
      }
      throw;
    }
    stream->Close();
  } catch (const Exception& e) {
    failure = e.Message();
    failureClass = e.ClassName();
  } catch (const std::exception& e) {
    failure = e.what();
    failureClass = "std::exception";
  }
  if (!failureClass.empty()) {
    if (!isErrorWriter_)
      ReportFailure(stage, lineInData ? TrimLogText(line) : trimmed, failure, failureClass);
    line += " <Ошибка при записи в лог>";
  }
  if (notifyWindow_ != 0 && notifyMessage_ != 0)
    AddRecentLine(line);
}

void THuxLogger::ReportFailure(const std::string& stage, const std::string& recordText,
                               const std::string& message, const std::string& className) {
  try {
    if (auto errorWriter = HuxLoggerErrorWriter())
      errorWriter->WriteFmt(
          "Ошибка при попытке записи (%0:s) в лог \"%1:s\" строки [%2:s]: %3:s <%4:s>",
          {stage, fileName_, recordText, message, className}, llPlain);
  } catch (...) {
    // The error writer has nobody to tell.
  }
}

void THuxLogger::AddRecentLine(const std::string& line) {
  try {
    std::lock_guard guard(listLock_);
    recentLines_.push_back(line);
    while (!recentLines_.empty() &&
           static_cast<std::int64_t>(recentLines_.size()) > maxRecentLines_)
      recentLines_.pop_front();
    PostLogNotify(notifyWindow_, notifyMessage_);
  } catch (...) {
  }
}
