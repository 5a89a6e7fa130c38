// Damage that validation cannot see but a restore trips over: edits inside the records of a
// small table SEALED (TAG char(8) not null, N integer not null, unique index on TAG), made
// straight in the file while the server does not hold it.
#pragma once

#include <string>

#include "tests/support/FbTestServer.h"

namespace repairtest {

// Adds SEALED with the rows ('QZ7301KW', 5) and ('QZ7302KW', 6) to an existing database.
void AddSealedTable(const testsupport::FbTestServer& server, const std::string& path);

// Rewrites the second row's TAG to the first one's: the restore cannot activate the unique
// index and leaves the new database off-line.
void DuplicateSealedKey(const std::string& path);

// Marks the second row's N as NULL: the restore stops at that record and never finishes.
void NullInNotNullColumn(const std::string& path);

}  // namespace repairtest
