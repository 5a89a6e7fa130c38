// Runs one server tool command line (redirections included) through a hidden script in the
// work directory, under a cancellable progress window, and waits for it to end. The tool's
// exit code is not read: callers judge the outcome from the files their command line names.
#pragma once

#include <string>

// Throws Exception when the command line holds characters the script cannot carry (Windows:
// outside the console's or the system's code page; nothing is written or run then), when the
// work directory cannot be created or the script cannot be started, EFileError when the
// script cannot be written, EProgressException when the progress window cannot be shown, and
// EProgressCancelByUser when the operator cancels; a cancelled tool is left running to its
// own end.
void RunToolBatch(const std::string& commandLine, const std::string& caption);

// The script file of run number `number` (1 for a process's first run).
std::string ToolBatchFile(int number);
// How many runs have got as far as numbering their script in this process.
int ToolBatchCount();

// Whether a tool that a cancel left running (see RunToolBatch) is still at work. The work
// lock stays with this copy of the program until none is: a new run would otherwise copy or
// replace files the tool is still writing.
bool ToolsStillRunning();
