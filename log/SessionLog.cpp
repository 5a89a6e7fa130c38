#include "log/SessionLog.h"

#include <atomic>
#include <stdexcept>

#include "log/DateTimeText.h"
#include "log/HuxLogger.h"

namespace {
std::atomic<THuxLogger*> gSessionLog{nullptr};
}

THuxLogger& SessionLog() {
  THuxLogger* log = gSessionLog.load();
  if (!log)
    throw std::logic_error("the session log is not published");
  return *log;
}

THuxLogger* SessionLogOrNull() {
  return gSessionLog.load();
}

void PublishSessionLog(THuxLogger* log) {
  gSessionLog.store(log);
}

namespace sessionlog {

void Record(const std::string& text) {
  SessionLog().Write(text, llPlain);
}

std::string TimeStamp() {
  return FormatDateTime("dd/mm/yyyy hh:nn:ss", os::LocalTimeNow());
}

}  // namespace sessionlog
