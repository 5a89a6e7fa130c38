#include "tests/support/DatabasePages.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace testsupport {

std::uint16_t ReadU16(const Page& page, std::size_t offset) {
  return static_cast<std::uint16_t>(page.at(offset) | (page.at(offset + 1) << 8));
}

std::uint32_t ReadU32(const Page& page, std::size_t offset) {
  return static_cast<std::uint32_t>(ReadU16(page, offset)) |
         (static_cast<std::uint32_t>(ReadU16(page, offset + 2)) << 16);
}

DatabasePages::DatabasePages(std::string path) : path_(std::move(path)) {
  std::ifstream in(path_, std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot open " + path_);
  Page header(1024);
  in.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
  if (in.gcount() != static_cast<std::streamsize>(header.size()) ||
      header[0] != static_cast<std::uint8_t>(PageType::Header)) {
    throw std::runtime_error(path_ + " is not a database file");
  }
  pageSize_ = ReadU16(header, 16);
  if (pageSize_ < 1024 || (pageSize_ & (pageSize_ - 1)) != 0) {
    throw std::runtime_error(path_ + ": implausible page size " + std::to_string(pageSize_));
  }
  pageCount_ = static_cast<std::uint32_t>(std::filesystem::file_size(path_) / pageSize_);
}

Page DatabasePages::Read(std::uint32_t number) const {
  std::ifstream in(path_, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(number) * pageSize_);
  Page page(pageSize_);
  in.read(reinterpret_cast<char*>(page.data()), pageSize_);
  if (in.gcount() != static_cast<std::streamsize>(pageSize_)) {
    throw std::runtime_error(path_ + ": cannot read page " + std::to_string(number));
  }
  return page;
}

void DatabasePages::Write(std::uint32_t number, const Page& page) const {
  if (page.size() != pageSize_)
    throw std::invalid_argument("page of the wrong size");
  std::fstream out(path_, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(static_cast<std::streamoff>(number) * pageSize_);
  out.write(reinterpret_cast<const char*>(page.data()), pageSize_);
  out.flush();
  if (!out)
    throw std::runtime_error(path_ + ": cannot write page " + std::to_string(number));
}

std::vector<PageInfo> DatabasePages::List() const {
  std::ifstream in(path_, std::ios::binary);
  std::vector<PageInfo> pages;
  Page page(pageSize_);
  for (std::uint32_t number = 0; number < pageCount_; ++number) {
    in.read(reinterpret_cast<char*>(page.data()), pageSize_);
    if (in.gcount() != static_cast<std::streamsize>(pageSize_))
      break;
    PageInfo info;
    info.number = number;
    info.type = static_cast<PageType>(page[0]);
    switch (info.type) {
      case PageType::Pointer:
        info.relation = ReadU16(page, 26);
        break;
      case PageType::Data:
        info.relation = ReadU16(page, 20);
        break;
      case PageType::IndexRoot:
        info.relation = ReadU16(page, 16);
        break;
      case PageType::BTree:
        info.relation = ReadU16(page, 28);
        break;
      default:
        break;
    }
    pages.push_back(info);
  }
  return pages;
}

std::vector<PageInfo> DatabasePages::Find(PageType type, int relation) const {
  std::vector<PageInfo> found;
  for (const PageInfo& info : List()) {
    if (info.type == type && (relation < 0 || info.relation == relation))
      found.push_back(info);
  }
  return found;
}

}  // namespace testsupport
