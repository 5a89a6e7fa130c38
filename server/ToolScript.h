// Writing the runner's script: on Windows a batch file in the console's OEM code page with
// CR LF line ends; on Linux a /bin/sh script readable by its owner only (it holds the
// password), run under a UTF-8 locale so the tools take non-ASCII paths.
#pragma once

#include <string>
#include <vector>

// The lines of `text`, split at CR LF, CR or LF; a final line break adds no empty line.
std::vector<std::string> SplitCommandLines(const std::string& text);

// The bytes of the script that runs `commandLine`.
std::string ToolScriptContent(const std::string& commandLine);

// Writes the script, replacing any file of that name. Throws EFileError.
void WriteToolScript(const std::string& path, const std::string& commandLine);
