// The program's units as a test needs them: the binding to the suite library, the log unit
// and the progress unit started in the program's start-up order, with a session log published
// as the program publishes it, and all of it stopped again in reverse.
#pragma once

#include <memory>

#include "log/HuxLogger.h"

namespace testsupport {

class ProgramUnits {
 public:
  ProgramUnits() = default;
  ~ProgramUnits() { Stop(); }
  ProgramUnits(const ProgramUnits&) = delete;
  ProgramUnits& operator=(const ProgramUnits&) = delete;

  // False when the suite library did not load; nothing else is started then.
  bool Start();
  // Waits for the progress windows' threads; does nothing when not started.
  void Stop();

 private:
  bool started_ = false;
  std::unique_ptr<THuxLogger> log_;
};

}  // namespace testsupport
