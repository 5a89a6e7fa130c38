#include "tests/support/DamageKit.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tests/support/DatabasePages.h"
#include "tests/support/TestDatabase.h"

namespace testsupport {

namespace {

struct KindName {
  DamageKind kind;
  const char* name;
};

constexpr KindName kKindNames[] = {
    {DamageKind::RecordGarbage, "record-garbage"},
    {DamageKind::ZeroDataPage, "zero-data-page"},
    {DamageKind::IndexGarbage, "index-garbage"},
    {DamageKind::ZeroBlobPage, "zero-blob-page"},
    {DamageKind::ZeroPointerPage, "zero-pointer-page"},
    {DamageKind::Truncate, "truncate"},
    {DamageKind::TextFile, "text-file"},
    {DamageKind::LostReferencedRows, "lost-referenced-rows"},
    {DamageKind::DuplicateKey, "duplicate-key"},
    {DamageKind::LostBackVersion, "lost-back-version"},
};

// Deterministic bytes that look like nothing Firebird wrote.
void FillGarbage(Page& page, std::size_t from, std::size_t to) {
  std::uint32_t state = 0x9E3779B9u;
  for (std::size_t i = from; i < to && i < page.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    page[i] = static_cast<std::uint8_t>(state >> 24);
  }
}

PageInfo Pick(const std::vector<PageInfo>& pages, const char* what) {
  if (pages.empty())
    throw std::runtime_error(std::string("the database has no ") + what);
  return pages[pages.size() / 2];
}

constexpr std::uint16_t kRecordHeaderSize = 13;

// With `headers`, lost-back-version: each header (transaction 4 bytes, back version's page 4
// and slot 2) gets a transaction newer than any reader and an older version that is not there.
DamageReport GarbageOverRecords(const DatabasePages& file, int relation, bool headers = false) {
  PageInfo info = Pick(file.Find(PageType::Data, relation), "data page of the table");
  Page page = file.Read(info.number);
  const std::uint16_t count = ReadU16(page, 22);
  int spoiled = 0;
  // Record headers (13 bytes) stay valid, so the records are still read and their data,
  // which no longer decompresses to the record's format, is what validation trips on.
  for (std::uint16_t slot = 0; slot < count; slot += 2) {
    const std::uint16_t offset = ReadU16(page, 24 + 4 * slot);
    const std::uint16_t length = ReadU16(page, 26 + 4 * slot);
    if (offset == 0 || length <= kRecordHeaderSize)
      continue;
    for (int i = 0; headers && i < 4; ++i) {
      page[offset + i] = static_cast<std::uint8_t>(100000000u >> (8 * i));
      page[offset + 4 + i] = static_cast<std::uint8_t>(info.number >> (8 * i));
      page[offset + 8 + i % 2] = 0xFF;
    }
    if (!headers)
      FillGarbage(page, offset + kRecordHeaderSize, offset + length);
    ++spoiled;
  }
  if (spoiled == 0)
    throw std::runtime_error("the data page holds no records");
  file.Write(info.number, page);
  return {info.number, std::string(headers ? "lost back versions of " : "garbage over ") +
                           std::to_string(spoiled) + " records of data page " +
                           std::to_string(info.number)};
}

DamageReport ZeroPage(const DatabasePages& file, const PageInfo& info, const std::string& what) {
  file.Write(info.number, Page(file.PageSize(), 0));
  return {info.number, what + " " + std::to_string(info.number) + " zeroed"};
}

DamageReport GarbageInIndex(const DatabasePages& file, int relation) {
  PageInfo info = Pick(file.Find(PageType::BTree, relation), "b-tree page of the table");
  Page page = file.Read(info.number);
  // Nodes start after the 34-byte b-tree header; keep the header so the page is still
  // taken for an index page and its contents are checked.
  const std::size_t used = ReadU16(page, 30);
  FillGarbage(page, 40, used > 48 ? used : 48 + 256);
  file.Write(info.number, page);
  return {info.number, "garbage in the nodes of b-tree page " + std::to_string(info.number)};
}

DamageReport TruncateAtLastDataPage(const std::string& path, const DatabasePages& file,
                                    int relation) {
  auto pages = file.Find(PageType::Data, relation);
  if (pages.empty())
    throw std::runtime_error("the database has no data page of the table");
  const std::uint32_t first = pages.back().number;
  std::filesystem::resize_file(path, static_cast<std::uintmax_t>(first) * file.PageSize());
  return {first,
          "file cut at page " + std::to_string(first) + " of " + std::to_string(file.PageCount())};
}

// A record's data is run-length compressed: a count byte n > 0 says n literal bytes follow,
// n < 0 that the next byte stands -n times. A small integer key that comes first stands as
// `01 NN FD 00` right after the null flags (`01 FC`) and their padding (`FD 00`).
DamageReport DuplicateFirstKey(const DatabasePages& file, int relation) {
  for (const PageInfo& info : file.Find(PageType::Data, relation)) {
    Page page = file.Read(info.number);
    const std::uint16_t count = ReadU16(page, 22);
    for (std::uint16_t slot = 0; slot < count; ++slot) {
      const std::size_t offset = ReadU16(page, 24 + 4 * slot);
      const std::size_t length = ReadU16(page, 26 + 4 * slot);
      if (offset == 0 || length < kRecordHeaderSize + 6u)
        continue;
      // The flags stand as a literal run, their padding as a repeated zero.
      std::size_t at = offset + kRecordHeaderSize;
      for (int run = 0; run < 2; ++run) {
        const auto count = static_cast<std::int8_t>(page[at]);
        at += count < 0 ? 2 : 1 + static_cast<std::size_t>(count);
      }
      if (at + 4 > offset + length || page[at] != 1 || page[at + 1] != kDuplicatedFromId ||
          page[at + 2] != 0xFD || page[at + 3] != 0)
        continue;
      page[at + 1] = kDuplicatedFromId - 1;
      file.Write(info.number, page);
      return {info.number, "key " + std::to_string(kDuplicatedFromId) + " made " +
                               std::to_string(kDuplicatedFromId - 1) + " on data page " +
                               std::to_string(info.number)};
    }
  }
  throw std::runtime_error("no record of the key " + std::to_string(kDuplicatedFromId));
}

DamageReport ReplaceWithText(const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (int i = 0; i < 200; ++i)
    out << "This line of text stands where a database was.\n";
  if (!out)
    throw std::runtime_error("cannot write " + path);
  return {-1, "file replaced by text"};
}

}  // namespace

std::string DamageKindName(DamageKind kind) {
  for (const auto& entry : kKindNames) {
    if (entry.kind == kind)
      return entry.name;
  }
  return "?";
}

std::optional<DamageKind> ParseDamageKind(const std::string& name) {
  for (const auto& entry : kKindNames) {
    if (name == entry.name)
      return entry.kind;
  }
  return std::nullopt;
}

std::vector<DamageKind> AllDamageKinds() {
  std::vector<DamageKind> kinds;
  for (const auto& entry : kKindNames)
    kinds.push_back(entry.kind);
  return kinds;
}

DamageReport Damage(const FbTestServer& server, const std::string& path, DamageKind kind,
                    const std::string& table) {
  if (kind == DamageKind::TextFile)
    return ReplaceWithText(path);
  const bool keys = kind == DamageKind::LostReferencedRows || kind == DamageKind::DuplicateKey;
  // Ask the relation id before touching the file: the attachment is gone when we write.
  const int relation = RelationId(server, path,
                                  !table.empty() ? table
                                  : keys         ? kReferencedTable
                                                 : kDamagedTable);
  DatabasePages file(path);
  switch (kind) {
    case DamageKind::RecordGarbage:
    case DamageKind::LostReferencedRows:
      return GarbageOverRecords(file, relation);
    case DamageKind::ZeroDataPage:
      return ZeroPage(file, Pick(file.Find(PageType::Data, relation), "data page"), "data page");
    case DamageKind::IndexGarbage:
      return GarbageInIndex(file, relation);
    case DamageKind::ZeroBlobPage:
      return ZeroPage(file, Pick(file.Find(PageType::Blob), "blob page"), "blob page");
    case DamageKind::ZeroPointerPage: {
      auto pointers = file.Find(PageType::Pointer, relation);
      if (pointers.empty())
        throw std::runtime_error("the database has no pointer page");
      return ZeroPage(file, pointers.front(), "pointer page");
    }
    case DamageKind::Truncate:
      return TruncateAtLastDataPage(path, file, relation);
    case DamageKind::DuplicateKey:
      return DuplicateFirstKey(file, relation);
    case DamageKind::LostBackVersion:
      return GarbageOverRecords(file, relation, /*headers=*/true);
    case DamageKind::TextFile:
      break;
  }
  return ReplaceWithText(path);
}

}  // namespace testsupport
