#include "progress/TextDrawingLock.h"

std::recursive_mutex& TextDrawingLock() {
  // Never destroyed: viewer threads may still finish after static destruction began.
  static auto* lock = new std::recursive_mutex;
  return *lock;
}
