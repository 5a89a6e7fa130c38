// The session log writer: dated one-line records appended to a text file that several
// threads and processes may share.
#pragma once

#include <bitset>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>

#include "log/DateTimeText.h"
#include "os/File.h"
#include "os/Format.h"
#include "os/NamedMutex.h"

enum TLogLevel : std::uint8_t {
  llPlain = 0,
  llInfo = 1,
  llError = 2,
  llFailure = 3,
  llWarning = 4,
  llEvent = 5,
  llDebug = 6,
  llOther = 7,
};

// A set of levels: bit N stands for level N.
using TLogLevels = std::bitset<8>;

// The level characters in level order; records read back are recognised by them.
inline constexpr char kLogLevelChars[] = "-+?!#$%@";
// " [ошиб]" and so on; empty for llPlain and for values above 7.
const std::string& LogLevelTag(std::uint8_t level);

inline constexpr int kLogOpenTimeoutMs = 200;
inline constexpr int kLogOpenRetryPauseMs = 10;
inline constexpr int kLogAgeCheckIntervalSec = 60;
inline constexpr bool kLogUseMutexDefault = true;

class THuxLogger {
 public:
  explicit THuxLogger(const std::string& fileName);
  ~THuxLogger();
  THuxLogger(const THuxLogger&) = delete;
  THuxLogger& operator=(const THuxLogger&) = delete;

  // Appends one record. File failures never reach the caller: they go to the error writer.
  void Write(const std::string& text, TLogLevel level = llPlain);
  // Formats first (a bad pattern throws EConvertError to the caller), then writes.
  void WriteFmt(const std::string& pattern, std::initializer_list<FormatArg> args,
                TLogLevel level = llPlain);

  // The record line without CR LF; `text` is trimmed in place. Empty text gives "".
  std::string BuildLine(std::string& text, TLogLevel level) const;

  // A name without a directory goes into the program's directory. Re-opens the mutex.
  void SetFileName(const std::string& newName);
  std::string FileName() const;
  void SetUseMutex(bool value);
  bool UseMutex() const { return useMutex_; }
  bool HasMutex() const { return mutex_ != nullptr; }

  // The in-process lock, then the named mutex when there is one; Release in reverse.
  void Acquire();
  void Release();

  // Opens `fileName`, retrying for up to `timeoutMs` (negative: the unit's 200 ms) while
  // another opener refuses to share it.
  static std::unique_ptr<os::File> OpenLogStream(const std::string& fileName, os::File::Mode mode,
                                                 int timeoutMs);
  // "Global\" + name first, then the bare name; nullptr when both fail.
  static std::unique_ptr<os::NamedMutex> CreateLogMutex(const std::string& name);
  static std::string MutexNameOf(const std::string& fileName);

  // Size and age control on the log's open stream; both may close it.
  void CutBySize(os::File& stream);
  void CutByAge(os::File& stream);
  // Works on closed files only.
  void RotateFiles();

  // Plain settings.
  std::int64_t MaxSize() const { return maxSize_; }
  void SetMaxSize(std::int64_t value) { maxSize_ = value; }
  bool TrimInPlace() const { return trimInPlace_; }
  void SetTrimInPlace(bool value) { trimInPlace_ = value; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { enabled_ = value; }
  const std::string& Prefix() const { return prefix_; }
  void SetPrefix(const std::string& value) { prefix_ = value; }
  bool WriteThreadId() const { return writeThreadId_; }
  void SetWriteThreadId(bool value) { writeThreadId_ = value; }
  bool WriteProcessId() const { return writeProcessId_; }
  void SetWriteProcessId(bool value) { writeProcessId_ = value; }
  const std::string& DateTimeFormat() const { return dateTimeFormat_; }
  void SetDateTimeFormat(const std::string& value) { dateTimeFormat_ = value; }
  bool WriteLevelChar() const { return writeLevelChar_; }
  void SetWriteLevelChar(bool value) { writeLevelChar_ = value; }
  bool WriteLevelTag() const { return writeLevelTag_; }
  void SetWriteLevelTag(bool value) { writeLevelTag_ = value; }
  std::int32_t KeepFiles() const { return keepFiles_; }
  void SetKeepFiles(std::int32_t value) { keepFiles_ = value; }
  bool IsErrorWriter() const { return isErrorWriter_; }
  void SetIsErrorWriter(bool value) { isErrorWriter_ = value; }
  TLogLevels Levels() const { return levels_; }
  void SetLevels(TLogLevels value) { levels_ = value; }
  std::uintptr_t NotifyWindow() const { return notifyWindow_; }
  void SetNotifyWindow(std::uintptr_t value) { notifyWindow_ = value; }
  std::uint32_t NotifyMessage() const { return notifyMessage_; }
  void SetNotifyMessage(std::uint32_t value) { notifyMessage_ = value; }
  std::int32_t MaxRecentLines() const { return maxRecentLines_; }
  void SetMaxRecentLines(std::int32_t value) { maxRecentLines_ = value; }
  double MaxAge() const { return maxAge_; }  // days
  void SetMaxAge(double value) { maxAge_ = value; }
  TDateTime LastAgeCheck() const { return lastAgeCheck_; }
  void SetLastAgeCheck(TDateTime value) { lastAgeCheck_ = value; }

  // Readers on other threads hold ListLock() while they look at RecentLines().
  std::mutex& ListLock() { return listLock_; }
  std::deque<std::string>& RecentLines() { return recentLines_; }

 private:
  void ReportFailure(const std::string& stage, const std::string& recordText,
                     const std::string& message, const std::string& className);
  void AddRecentLine(const std::string& line);
  // Moves the bytes from `start` to the end of the log to its beginning, through a
  // temporary file beside it.
  void KeepFrom(os::File& stream, std::int64_t start);
  std::string TempFileName() const;

  mutable std::recursive_mutex lock_;
  std::mutex listLock_;
  std::unique_ptr<os::NamedMutex> mutex_;
  bool mutexHeld_ = false;  // guarded by lock_
  std::string fileName_;
  std::int64_t maxSize_ = 1048576;
  bool trimInPlace_ = true;
  bool enabled_ = true;
  std::string prefix_;
  bool writeThreadId_ = false;
  bool writeProcessId_ = false;
  std::string dateTimeFormat_ = "dd/mm/yyyy hh:nn:ss.zzz";
  bool writeLevelChar_ = false;
  bool writeLevelTag_ = true;
  bool useMutex_ = kLogUseMutexDefault;
  std::int32_t keepFiles_ = 10;
  bool isErrorWriter_ = false;
  TLogLevels levels_ = TLogLevels().set();
  std::deque<std::string> recentLines_;
  std::uintptr_t notifyWindow_ = 0;
  std::uint32_t notifyMessage_ = 1345;
  std::int32_t maxRecentLines_ = 1024;
  double maxAge_ = 0;
  TDateTime lastAgeCheck_ = 0;
};

// The unit's start and end: the error writer lives between them. The program calls
// Initialize after the server binding and Finalize at the very end. A process that never
// calls Initialize gets its error writer on the first failure it reports.
void HuxLoggerUnitInitialize();
void HuxLoggerUnitFinalize();
// The error writer of this process, or nullptr once the unit has finished.
std::shared_ptr<THuxLogger> HuxLoggerErrorWriter();
// Its file: the user's temporary directory + "HuxLoggerErrorsWriter.log".
std::string HuxLoggerErrorWriterFileName();
