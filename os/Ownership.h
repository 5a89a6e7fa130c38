// Who owns a file and who may read and write it.
#pragma once

#include <string>

namespace os {

// Gives `to` the owner, group and permission bits of `from` (POSIX). A file the database
// server wrote belongs to the server's user; taking an operator's file's place, it must keep
// that file's rights. Windows files inherit their folder's rights, so there it does nothing.
// Returns false on failure and leaves the error code for LastErrorCode().
bool CopyOwnerAndMode(const std::string& from, const std::string& to);

}  // namespace os
