// Helpers shared by the runner's and the command lines' tests.
#pragma once

#include <string>

#include <vector>
#include "os/Process.h"

#include "tests/support/KoraSandbox.h"

// The stand-in tool built beside the test programs.
std::string EchoToolPath();
// Clears what earlier tests told the stand-in tool to do (sleep, markers, exit code).
void ForgetEchoToolSettings();
// Runs `commandLine` through a script written as the runner writes it, without a progress
// window, with `environment` set, and waits for its end (at most `timeoutMs`). Returns false
// on a time-out.
bool RunScriptDirectly(const std::string& scriptPath, const std::string& commandLine,
                       const os::EnvironmentVariables& environment = {},
                       unsigned timeoutMs = 20000);
// The lines of a file (CR LF, CR or LF), without the line breaks.
std::vector<std::string> FileLines(const std::string& path);
using testsupport::OnWindows;
