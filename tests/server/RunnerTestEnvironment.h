// The progress viewer unit started for the whole test program, and the operator's cancel
// played through the viewers' cycle hook.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// Registers the environment that starts and ends the progress viewer unit.
void UseProgressViewerUnit();

// Cancels (as Esc would) every viewer that runs at or after `atMs` (monotonic), and notes
// when the first cancel happened. Removes the hook when destroyed.
class ScriptedCancel {
 public:
  explicit ScriptedCancel(std::uint64_t atMs);
  // Cancels once `ready()` is true (asked on the viewer's thread).
  explicit ScriptedCancel(std::function<bool()> ready);
  ~ScriptedCancel();
  bool Happened() const { return cancelledAtMs_.load() != 0; }
  std::uint64_t CancelledAtMs() const { return cancelledAtMs_.load(); }

 private:
  std::atomic<std::uint64_t> cancelledAtMs_{0};
};

// After a cancel the run's script must go. Wine's command interpreter keeps a running batch
// file open, so there the deletion takes effect only when the interpreter ends: true once the
// file is gone, waiting at most `timeoutMs` on Windows and not at all elsewhere.
bool ScriptGone(const std::string& path, unsigned timeoutMs);
