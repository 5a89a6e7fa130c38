#include "repair/RowReport.h"

#include <algorithm>
#include <map>

#include "os/CodePage.h"
#include "os/Files.h"

bool TableChange::MayHaveLostRows() const {
  return emptied || !before || !after || *after < *before;
}

std::vector<TableChange> RowReport::Tables() const {
  std::map<std::string, TableChange> byName;
  for (const auto& table : before_.tables) {
    TableChange& change = byName[table.table];
    change.table = table.table;
    change.before = table.rows;
  }
  for (const auto& table : after_.tables) {
    TableChange& change = byName[table.table];
    change.table = table.table;
    change.after = table.rows;
  }
  for (const std::string& name : emptied_) {
    if (auto found = byName.find(name); found != byName.end()) {
      found->second.emptied = true;
      if (auto added = placeholders_.find(name); added != placeholders_.end())
        found->second.placeholders = added->second;
      if (auto copied = partlyCopied_.find(name); copied != partlyCopied_.end())
        found->second.partly = copied->second;
    }
  }
  std::vector<TableChange> tables;
  for (auto& [name, change] : byName)
    tables.push_back(std::move(change));
  return tables;
}

std::vector<TableChange> RowReport::Losses() const {
  std::vector<TableChange> losses = Tables();
  std::erase_if(losses, [](const TableChange& change) { return !change.MayHaveLostRows(); });
  return losses;
}

MissingCounts RowReport::Missing() const {
  return {before_.error.has_value(), after_.error.has_value()};
}

namespace rowreporttext {

std::string FilePath(const std::string& safetyCopy) {
  const std::string path = os::ChangeFileExt(safetyCopy, ".txt");
  // A copy that itself ends in .txt must never be overwritten by its report.
  return os::SameTextLocale(path, safetyCopy) ? safetyCopy + ".txt" : path;
}

}  // namespace rowreporttext
