// Construction, the file name with its mutex, and the two-level lock.
#include "log/HuxLogger.h"

#include "os/CodePage.h"
#include "os/Files.h"

THuxLogger::THuxLogger(const std::string& fileName) {
  // Nothing is written and no file is touched until the first record.
  SetFileName(fileName);
}

THuxLogger::~THuxLogger() {
  SetUseMutex(false);
}

void THuxLogger::SetFileName(const std::string& newName) {
  if (newName.empty())
    return;
  const std::string name =
      os::HasDirectoryPart(newName) ? newName : os::ProgramDirectory() + newName;
  std::lock_guard guard(lock_);
  // Same name again: only worth anything when the mutex is still missing.
  if ((mutex_ || !useMutex_) && os::SameTextLocale(name, fileName_))
    return;
  mutex_.reset();
  fileName_ = name;
  if (useMutex_)
    mutex_ = CreateLogMutex(MutexNameOf(fileName_));
}

std::string THuxLogger::FileName() const {
  std::lock_guard guard(lock_);
  return fileName_;
}

void THuxLogger::SetUseMutex(bool value) {
  std::lock_guard guard(lock_);
  useMutex_ = value;
  if (!value)
    mutex_.reset();
}

void THuxLogger::Acquire() {
  lock_.lock();
  mutexHeld_ = false;
  if (!mutex_)
    return;
  try {
    mutex_->Lock();
    mutexHeld_ = true;
  } catch (...) {
    // A mutex that cannot be waited on is like a missing one: the in-process lock remains.
  }
}

void THuxLogger::Release() {
  if (mutexHeld_)
    mutex_->Unlock();
  mutexHeld_ = false;
  lock_.unlock();
}
