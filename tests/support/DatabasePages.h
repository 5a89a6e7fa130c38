// Direct access to the pages of a Firebird 3 database file (on-disk structure 12), for
// damaging test databases in known places. Only the fields the damage kit needs are read:
//   every page:    byte 0 page type
//   header page:   page size, 2 bytes at offset 16
//   pointer page:  relation id, 2 bytes at offset 26; page sequence, 4 bytes at 16
//   data page:     relation id, 2 bytes at offset 20; record count at 22, then
//                  (offset, length) pairs of 2 bytes each from 24
//   b-tree page:   relation id, 2 bytes at offset 28; used length at 30; index id at 32
//   index root:    relation id, 2 bytes at offset 16
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

enum class PageType : std::uint8_t {
  Header = 1,
  PageInventory = 2,
  TransactionInventory = 3,
  Pointer = 4,
  Data = 5,
  IndexRoot = 6,
  BTree = 7,
  Blob = 8,
  Generator = 9,
};

struct PageInfo {
  std::uint32_t number = 0;
  PageType type{};
  int relation = -1;  // for pointer, data, index root and b-tree pages; -1 otherwise
};

using Page = std::vector<std::uint8_t>;

// Opens an existing database file; throws std::runtime_error when it is not one.
class DatabasePages {
 public:
  explicit DatabasePages(std::string path);

  std::uint32_t PageSize() const { return pageSize_; }
  std::uint32_t PageCount() const { return pageCount_; }

  Page Read(std::uint32_t number) const;
  void Write(std::uint32_t number, const Page& page) const;
  // Every page of the file, in file order.
  std::vector<PageInfo> List() const;
  // The pages of one type (and relation, when `relation` >= 0), in file order.
  std::vector<PageInfo> Find(PageType type, int relation = -1) const;

 private:
  std::string path_;
  std::uint32_t pageSize_ = 0;
  std::uint32_t pageCount_ = 0;
};

std::uint16_t ReadU16(const Page& page, std::size_t offset);
std::uint32_t ReadU32(const Page& page, std::size_t offset);

}  // namespace testsupport
