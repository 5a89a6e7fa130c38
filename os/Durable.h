// Putting files on the disk for good. Power cuts are what damages the databases this program
// repairs, so a file it keeps for the operator must not sit only in the system's cache.
#pragma once

#include <string>

namespace os {

// These return false on failure and leave the system's error code for LastErrorCode().

// Writes the file's data and size from the cache to the disk (fsync; FlushFileBuffers).
bool FlushFile(const std::string& path);
// Makes the folder's entries durable: a file just made or renamed in it. Windows has no such
// call (its file system journals the names itself), so there it only checks the folder exists.
// An empty path is the current folder.
bool FlushFolder(const std::string& path);
// Gives `from` the name `to` in one step, replacing a file already at `to`: at any moment
// `to` names either the old file or the new one. Both must be in one folder (one volume).
// On Windows a sharing violation (a scanner looking into either file) is retried for a few
// seconds.
bool RenameReplacing(const std::string& from, const std::string& to);

}  // namespace os
