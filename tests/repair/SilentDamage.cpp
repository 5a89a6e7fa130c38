#include "tests/repair/SilentDamage.h"

#include <stdexcept>

#include "tests/repair/RepairSandbox.h"
#include "tests/support/TestDatabase.h"

namespace repairtest {

namespace {

const std::string kSecondTag = "QZ7302KW";

// A stored SEALED record compresses as: 01 <null flags> FD 00 (three zero bytes of flags)
// <literal count> <TAG...>. Index nodes hold the same key bytes but not this frame, so the
// frame tells the record apart.
std::size_t FindSecondRecordTag(const std::string& file) {
  std::size_t found = std::string::npos;
  for (std::size_t at = file.find(kSecondTag); at != std::string::npos;
       at = file.find(kSecondTag, at + 1)) {
    if (at < 5)
      continue;
    const bool framed = file[at - 5] == '\x01' && file[at - 3] == '\xfd' &&
                        file[at - 2] == '\x00' && file[at - 1] >= '\x08';
    if (!framed)
      continue;
    if (found != std::string::npos)
      throw std::runtime_error("SEALED record found twice");
    found = at;
  }
  if (found == std::string::npos)
    throw std::runtime_error("SEALED record not found");
  return found;
}

}  // namespace

void AddSealedTable(const testsupport::FbTestServer& server, const std::string& path) {
  const testsupport::ToolResult result =
      testsupport::RunIsql(server, path,
                           "create table SEALED (TAG char(8) not null, N integer not null);\n"
                           "create unique index SEALED_TAG on SEALED (TAG);\n"
                           "commit;\n"
                           "insert into SEALED values ('QZ7301KW', 5);\n"
                           "insert into SEALED values ('QZ7302KW', 6);\n"
                           "commit;\n");
  if (result.exitCode != 0)
    throw std::runtime_error("isql: " + result.out + result.err);
}

void DuplicateSealedKey(const std::string& path) {
  std::string file = ReadBytes(path);
  const std::size_t tag = FindSecondRecordTag(file);
  file[tag + 5] = '1';  // QZ7302KW -> QZ7301KW
  WriteBytes(path, file);
}

void NullInNotNullColumn(const std::string& path) {
  std::string file = ReadBytes(path);
  const std::size_t flags = FindSecondRecordTag(file) - 4;
  // Bit 0 is TAG, bit 1 is N; the bits of absent fields are set already.
  if (file[flags] != '\xfc')
    throw std::runtime_error("unexpected null flags in SEALED");
  file[flags] = '\xfe';
  WriteBytes(path, file);
}

}  // namespace repairtest
