// Failures of the server's surroundings, told apart from damage by the server's own texts: a
// full disk, a folder the server may not write, a database another server instance holds or
// the server's configuration forbids, a server stopped while at work, a file the server
// cannot see. Each has a plain message of its own, and none of them says anything about the
// state of the database.
#pragma once

#include <optional>
#include <string>

enum class ServerFailure {
  DiskFull,
  FolderNotWritable,
  OtherEngineInstance,
  AccessDenied,
  ServerStopped,
  FileNotVisible,
};

// What the server's text (a tool log, a service's error) says went wrong around the database,
// if anything.
std::optional<ServerFailure> FindServerFailure(const std::string& serverText);

// The operator's message for the failure; `file` is the file the run was writing (or, for
// the failures about the database, the database).
std::string ServerFailureMessage(ServerFailure failure, const std::string& file);

// Both at once: the message when the text tells such a failure. `writtenFile` is the file the
// run was writing (empty for a validation): a full disk or a refused folder is its.
std::optional<std::string> ServerFailureMessageFor(const std::string& serverText,
                                                   const std::string& databaseFile,
                                                   const std::string& writtenFile);
