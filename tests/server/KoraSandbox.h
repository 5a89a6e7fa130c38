// The server tests' fixed tree (see tests/support/KoraSandbox.h) and what they look for in it.
#pragma once

#include <string>
#include <vector>

#include "tests/support/KoraSandbox.h"

using testsupport::BuiltSuiteLibrary;
using testsupport::BuiltSuiteLibraryWithoutPort;
using testsupport::FsPath;
using testsupport::KoraSandbox;
using testsupport::OnWindows;
using testsupport::WriteFileBytes;

// The names in the work directory that look like the runner's scripts.
std::vector<std::string> BatchFilesInWorkDirectory();
