// Runs one server tool command line (redirections included) through a hidden script in the
// work directory, under a cancellable progress window, and waits for it to end. Callers judge
// the outcome from the files their command line names, and from the exit status where the
// system gives one: a tool that could not even start its work may leave its log empty.
#pragma once

#include <optional>
#include <string>

#include "os/Process.h"

// `environment` is set for the tool on top of the program's own (the login, which must not
// stand on a command line). Returns the exit status of the script's last command, empty when
// the system cannot tell it.
// Throws Exception when the command line holds characters the script cannot carry (Windows:
// outside the console's or the system's code page; nothing is written or run then), when the
// work directory cannot be created or the script cannot be started, EFileError when the
// script cannot be written, EProgressException when the progress window cannot be shown, and
// EProgressCancelByUser when the operator cancels; a cancelled tool is left running to its
// own end.
std::optional<int> RunToolBatch(const std::string& commandLine, const std::string& caption,
                                const os::EnvironmentVariables& environment = {});

// Removes a tool log left from an earlier run, so that a run that writes none cannot be judged
// by the old one. Throws Exception when it stays.
void RemoveOldToolLog(const std::string& toolLog);

// The message for a tool run that left no result to judge: no log at all, or an empty log and
// a failing exit status. `tool` is the tool's path.
std::string ToolGaveNoResultMessage(const std::string& tool, std::optional<int> exitStatus);

// The script file of run number `number` (1 for a process's first run), named with this
// process's id.
std::string ToolBatchFile(int number);
// The number of the last script numbered in this process (0 before the first): a number whose
// file was there already is passed over.
int ToolBatchCount();

// Whether a tool that a cancel left running (see RunToolBatch) is still at work. The work
// lock stays with this copy of the program until none is: a new run would otherwise copy or
// replace files the tool is still writing.
bool ToolsStillRunning();
