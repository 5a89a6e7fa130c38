// What the repair cost, table by table: the rows counted before the mend and in the rebuilt
// file, and the tables whose rows had to be left behind. The operator learns which records
// to enter again; a repair that loses nothing adds nothing for the operator to read.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "server/FbRowCounter.h"

// An emptied table whose readable rows were copied back into the rebuilt file.
struct PartlyCopied {
  std::int64_t copied = 0;
  std::int64_t lost = 0;  // rows that could not be read or written
  bool finished = true;   // false: the copy gave up early, and more rows may be lost
};

struct TableChange {
  std::string table;
  std::optional<std::int64_t> before;  // nothing: could not be counted
  std::optional<std::int64_t> after;
  bool emptied = false;           // rebuilt without its rows because it could not be read
  std::int64_t placeholders = 0;  // rows added in an emptied table for rows referring to it
  std::optional<PartlyCopied> partly = std::nullopt;

  // Fewer rows, or no way to know that nothing was lost.
  bool MayHaveLostRows() const;
};

// Which of the two counts could not be taken at all (no table has a figure from it).
struct MissingCounts {
  bool before = false;
  bool after = false;
  bool Any() const { return before || after; }
};

class RowReport {
 public:
  void SetBefore(rowcount::TableRowCounts counts) { before_ = std::move(counts); }
  void SetAfter(rowcount::TableRowCounts counts) { after_ = std::move(counts); }
  void MarkEmptied(const std::vector<std::string>& tables) { emptied_ = tables; }
  void MarkPlaceholders(std::map<std::string, std::int64_t> rows) {
    placeholders_ = std::move(rows);
  }
  void MarkPartlyCopied(std::map<std::string, PartlyCopied> tables) {
    partlyCopied_ = std::move(tables);
  }

  // Every table seen before or after, by name.
  std::vector<TableChange> Tables() const;
  // The tables the operator has to look at; none when nothing was lost.
  std::vector<TableChange> Losses() const;
  // A count that failed or was cancelled as a whole: losses can then neither be shown nor
  // ruled out, and the operator is told so.
  MissingCounts Missing() const;

 private:
  rowcount::TableRowCounts before_;
  rowcount::TableRowCounts after_;
  std::vector<std::string> emptied_;
  std::map<std::string, std::int64_t> placeholders_;
  std::map<std::string, PartlyCopied> partlyCopied_;
};

namespace rowreporttext {

// The report file's path: the safety copy's, with the extension ".txt".
std::string FilePath(const std::string& safetyCopy);

}  // namespace rowreporttext
