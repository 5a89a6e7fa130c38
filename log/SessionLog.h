// The program-wide session log: owned by the main window from its creation to its
// destruction; the workflows write to it through this reference.
#pragma once

class THuxLogger;

THuxLogger& SessionLog();  // the published log; must be set
THuxLogger* SessionLogOrNull();
void PublishSessionLog(THuxLogger* log);  // nullptr withdraws it
