// Runs a program to its end and captures both of its streams. Firebird's tools need a UTF-8
// locale for non-ASCII paths, so every run gets LANG=C.UTF-8 and LC_ALL=C.UTF-8.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ToolResult {
  int exitCode = -1;  // the exit status, or 128 + signal number
  std::string out;    // standard output
  std::string err;    // error stream
};

// `program` is looked up in PATH when it holds no slash. Throws std::runtime_error when it
// cannot be started.
ToolResult RunTool(const std::string& program, const std::vector<std::string>& args);

// Paths of the server's tools.
std::string GfixPath();
std::string GbakPath();
std::string IsqlPath();

}  // namespace testsupport
