// The program-wide session log: owned by the main window from its creation to its
// destruction; the workflows write to it through this reference.
#pragma once

#include <string>

class THuxLogger;

THuxLogger& SessionLog();  // the published log; must be set
THuxLogger* SessionLogOrNull();
void PublishSessionLog(THuxLogger* log);  // nullptr withdraws it

namespace sessionlog {

// One plain record, what the workflows write most.
void Record(const std::string& text);
// "09.12.2026 15:52:04": now, as the log writes its dates (for files that sit beside it).
std::string TimeStamp();

}  // namespace sessionlog
