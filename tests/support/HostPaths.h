// Paths as the host's own programs see them. The Firebird server and its tools run on the
// host, also for the Windows build under Wine: a file the program names by a drive path is
// handed to them as the host path behind it.
#pragma once

#include <string>

namespace testsupport {

// The host path of a path this program opens (unchanged on Linux); the path itself when it
// cannot be mapped (a drive path whose folder does not exist).
std::string HostPath(const std::string& localPath);

// A tool argument as the host's tools need it: a drive path, bare or after "host/port:",
// becomes its host path; anything else ("-user", "127.0.0.1/3050:service_mgr") is kept.
std::string HostToolArgument(const std::string& argument);

}  // namespace testsupport
