#include "log/SessionLog.h"

#include <atomic>
#include <stdexcept>

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
