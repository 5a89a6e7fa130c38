#include "repair/ReadableRows.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <numeric>

#include "os/Exception.h"
#include "repair/TableTriggers.h"

using fbsql::Identifier;

namespace readablerows {

namespace {

constexpr std::size_t kPageRows = 500;
// Keys that fail before any row could be read: the table's pages are gone, not a few of its
// records, and narrowing key by key would only cost the operator time. A run of lost keys
// after readable rows goes on to the end, up to the most lost keys any copy looks for.
constexpr std::size_t kMostLostBeforeAnyRow = 20;
constexpr std::size_t kMostLost = 1000;

std::string Text(const fbsql::Value& value) {
  return value.text.value_or("");
}

std::string TextLiteral(const std::string& text) {
  return fbsql::Literal(fbsql::Value{text, false});
}

struct ESourceLost {};

// The database under repair. A record that cannot be read spoils the attachment that read it
// (the server refuses every later statement there, and new attachments while it is open), so
// a failed read closes it and the next read opens a fresh one.
class Source {
 public:
  Source(const fbsql::Login& login, const std::string& file) : login_(login), file_(file) {}

  // Nothing when the statement fails. Throws ESourceLost when the database cannot be
  // attached at all.
  std::optional<fbsql::Result> Read(const std::string& sql) {
    try {
      if (!db_)
        db_ = std::make_unique<fbsql::Connection>(login_, file_);
    } catch (const EFirebirdError&) {
      throw ESourceLost();
    }
    try {
      fbsql::Result result = db_->Query(sql);
      db_->Commit();
      return result;
    } catch (const EFirebirdError&) {
      db_.reset();
      return std::nullopt;
    }
  }

 private:
  fbsql::Login login_;
  std::string file_;
  std::unique_ptr<fbsql::Connection> db_;
};

class TableCopy {
 public:
  TableCopy(Source& source, fbsql::Connection& target, const std::string& table,
            const RangeKey& key)
      : source_(source), target_(target), table_(table), key_(key) {
    std::string columns;
    for (const fbsql::Row& row :
         target
             .Query("select trim(rf.rdb$field_name) from rdb$relation_fields rf"
                    " join rdb$fields f on f.rdb$field_name = rf.rdb$field_source"
                    " where f.rdb$computed_blr is null and rf.rdb$relation_name = " +
                    TextLiteral(table) + " order by rf.rdb$field_position")
             .rows) {
      if (Text(row[0]) == key.column)
        keyIndex_ = columnCount_;
      columns += (columnCount_++ == 0 ? "" : ", ") + Identifier(Text(row[0]));
    }
    select_ = "select " + columns + " from " + Identifier(table);
    insert_ = "update or insert into " + Identifier(table) + " (" + columns + ") values (";
  }

  // Fills `result` as it goes, so that what was copied before a failure is still told.
  void Run(const std::function<void(std::int64_t)>& progress, CopiedRows& result) {
    std::int64_t from = key_.least;
    for (;;) {
      const Stop stop = CopyUntilLost(from, key_.most, progress, result);
      if (stop.kind == Stop::Done)
        return;
      if (stop.kind == Stop::GaveUp) {
        result.finished = false;
        return;
      }
      result.lostKeys.push_back(std::to_string(stop.key));
      if ((result.copied == 0 && result.lostKeys.size() >= kMostLostBeforeAnyRow) ||
          result.lostKeys.size() >= kMostLost) {
        result.finished = stop.key == key_.most;
        return;
      }
      if (stop.key == key_.most)
        return;
      from = stop.key + 1;
    }
  }

 private:
  struct Stop {
    enum Kind { Done, Lost, GaveUp } kind = Done;
    std::int64_t key = 0;  // Lost: the key that cannot be read
  };

  // Copies the rows of [from, to] page by page up to the first one that cannot be read.
  Stop CopyUntilLost(std::int64_t from, std::int64_t to,
                     const std::function<void(std::int64_t)>& progress, CopiedRows& result) {
    for (;;) {
      const std::optional<fbsql::Result> page =
          source_.Read(select_ + Where(from, to) + " order by " + Identifier(key_.column) +
                       " rows " + std::to_string(kPageRows));
      if (!page) {
        const Stop lost = FirstUnreadable(from, to);
        if (lost.kind == Stop::Lost && lost.key > from) {
          // The rows before it read on their own: they go first.
          const Stop before = CopyUntilLost(from, lost.key - 1, progress, result);
          if (before.kind != Stop::Done)
            return before;
        }
        return lost;
      }
      Write(*page, result);
      if (progress)
        progress(result.copied);
      if (page->rows.size() < kPageRows)
        return {};
      const std::int64_t last = std::stoll(Text(page->rows.back()[keyIndex_]));
      if (last >= to)
        return {};
      from = last + 1;
    }
  }

  std::string Where(std::int64_t from, std::int64_t to) const {
    const std::string column = Identifier(key_.column);
    std::string where;
    if (from > key_.least)
      where = column + " >= " + std::to_string(from);
    if (to < key_.most)
      where += (where.empty() ? "" : " and ") + column + " <= " + std::to_string(to);
    return where.empty() ? "" : " where " + where;
  }

  bool Fails(std::int64_t from, std::int64_t to) {
    return !source_.Read("select count(*) from " + Identifier(table_) + Where(from, to));
  }

  // The least key `k` of [from, to] such that reading [from, k] fails: a gallop from `from`
  // (the failure is usually near), then halving. GaveUp when the whole range reads now.
  Stop FirstUnreadable(std::int64_t from, std::int64_t to) {
    if (Fails(from, from))
      return {Stop::Lost, from};
    std::int64_t good = from;
    std::uint64_t step = 1;
    for (;;) {
      const std::uint64_t span = static_cast<std::uint64_t>(to) - static_cast<std::uint64_t>(good);
      if (span == 0)
        return {Stop::GaveUp};
      const std::int64_t probe =
          step < span ? static_cast<std::int64_t>(static_cast<std::uint64_t>(good) + step) : to;
      if (Fails(from, probe)) {
        std::int64_t first = good + 1;
        std::int64_t last = probe;
        while (first < last) {
          const std::int64_t middle = std::midpoint(first, last);
          if (Fails(from, middle))
            last = middle;
          else
            first = middle + 1;
        }
        return {Stop::Lost, last};
      }
      good = probe;
      step *= 2;
    }
  }

  // A row the rebuilt file refuses (a reference to a row the mend dropped) is lost like an
  // unreadable one; the others of the page still go in.
  void Write(const fbsql::Result& page, CopiedRows& result) {
    for (const fbsql::Row& row : page.rows) {
      std::string values;
      for (std::size_t i = 0; i < row.size(); ++i)
        values += (i == 0 ? "" : ", ") + fbsql::Literal(row[i]);
      try {
        target_.Execute(insert_ + values + ") matching (" + Identifier(key_.column) + ")");
        ++result.copied;
        result.copiedKeys.push_back(Text(row[keyIndex_]));
      } catch (const EFirebirdError& e) {
        result.lostKeys.push_back(Text(row[keyIndex_]));
        result.refusals.push_back(Text(row[keyIndex_]) + ": " + e.Message());
      }
    }
    target_.Commit();
  }

  Source& source_;
  fbsql::Connection& target_;
  std::string table_;
  RangeKey key_;
  std::size_t columnCount_ = 0;
  std::size_t keyIndex_ = 0;
  std::string select_;
  std::string insert_;
};

}  // namespace

std::optional<RangeKey> KeyOf(fbsql::Connection& db, const std::string& table) {
  const fbsql::Result key = db.Query(
      "select trim(s.rdb$field_name), f.rdb$field_type, coalesce(f.rdb$field_scale, 0)"
      " from rdb$relation_constraints c"
      " join rdb$index_segments s on s.rdb$index_name = c.rdb$index_name"
      " join rdb$relation_fields rf on rf.rdb$relation_name = c.rdb$relation_name"
      " and rf.rdb$field_name = s.rdb$field_name"
      " join rdb$fields f on f.rdb$field_name = rf.rdb$field_source"
      " where c.rdb$constraint_type = 'PRIMARY KEY' and c.rdb$relation_name = " +
      TextLiteral(table));
  db.Commit();
  if (key.rows.size() != 1 || Text(key.rows[0][2]) != "0")
    return std::nullopt;
  const std::string type = Text(key.rows[0][1]);
  RangeKey range{Text(key.rows[0][0])};
  if (type == "7") {  // SMALLINT
    range.least = std::numeric_limits<std::int16_t>::min();
    range.most = std::numeric_limits<std::int16_t>::max();
  } else if (type == "8") {  // INTEGER
    range.least = std::numeric_limits<std::int32_t>::min();
    range.most = std::numeric_limits<std::int32_t>::max();
  } else if (type == "16") {  // BIGINT
    range.least = std::numeric_limits<std::int64_t>::min();
    range.most = std::numeric_limits<std::int64_t>::max();
  } else {
    return std::nullopt;
  }
  return range;
}

CopiedRows Copy(const fbsql::Login& login, const std::string& sourceFile, fbsql::Connection& target,
                const std::string& table, const RangeKey& key,
                const std::function<void(std::int64_t)>& progress) {
  CopiedRows result;
  std::vector<std::string> triggers;
  try {
    triggers = tabletriggers::Suspend(target, {table});
  } catch (const EFirebirdError& e) {
    result.finished = false;  // nothing was switched off: the file is as it was
    result.error = e.Message();
    return result;
  }
  Source source(login, sourceFile);
  try {
    TableCopy(source, target, table, key).Run(progress, result);
  } catch (const ESourceLost&) {
    result.finished = false;  // what was copied stays
  } catch (const EFirebirdError& e) {
    result.finished = false;
    result.error = e.Message();
  }
  tabletriggers::Resume(target, triggers);
  return result;
}

}  // namespace readablerows
