// Damages a test database (made by CreateTestDatabase) in known ways, each with a known
// answer from gfix -v -full on Firebird 3.0.11. Mind the streams: gfix prints the summary
// of validation errors and its count lines on standard output; only failures such as the
// I/O error and "is not a valid database" go to the error stream.
//   record-garbage     garbage over records of a SALES data page    "Number of record level errors"
//   zero-data-page     a SALES data page zeroed                     data page and database page
//   errors index-garbage      garbage in the nodes of a SALES b-tree page  "Number of index page
//   errors" zero-blob-page     a blob page zeroed (needs a database with blobs)
//                                                                   "Number of Blob page errors"
//   zero-pointer-page  the first pointer page of SALES zeroed       pointer page errors; beyond
//   repair truncate           the file cut at the last SALES data page     an I/O error on the
//   error stream text-file          the file replaced by text                    "is not a valid
//   database"
//   lost-referenced-rows  garbage over records of a CUSTOMERS data page (SALES refer to them):
//                     "Number of record level errors"; after the mend the restore fails on the
//                     foreign key of SALES
//   duplicate-key     one CUSTOMERS record's ID changed to the ID of another: validation and
//                     the backup see nothing, the restore fails on the primary key
//   lost-back-version  SALES records whose older version is not there: record level errors,
//                     count(*) stops at a bugcheck that spoils the attachment; the mend drops them
// The server must not hold the file open: damage a copy nobody is attached to. After a
// validation that ends in an I/O error the server keeps gfix's attachment, so give every
// damaged copy its own file name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/FbTestServer.h"

namespace testsupport {

enum class DamageKind {
  RecordGarbage,
  ZeroDataPage,
  IndexGarbage,
  ZeroBlobPage,
  ZeroPointerPage,
  Truncate,
  TextFile,
  LostReferencedRows,
  DuplicateKey,
  LostBackVersion,
};

std::string DamageKindName(DamageKind kind);
std::optional<DamageKind> ParseDamageKind(const std::string& name);
std::vector<DamageKind> AllDamageKinds();

struct DamageReport {
  std::int64_t page = -1;  // the page written or the first page cut off; -1 for text-file
  std::string what;        // one line for people
};

// The table the damage goes to; its relation id is asked from the server first.
inline constexpr const char* kDamagedTable = "SALES";

// The table that SALES refer to, where the two damages of keys go.
inline constexpr const char* kReferencedTable = "CUSTOMERS";
// duplicate-key: the record of this ID gets the ID before it, which then stands twice.
inline constexpr int kDuplicatedFromId = 7;

// Throws std::runtime_error when the file has no page of the kind needed. `table`, when
// given, takes the damage instead of the kind's own table.
DamageReport Damage(const FbTestServer& server, const std::string& path, DamageKind kind,
                    const std::string& table = {});

}  // namespace testsupport
