// Rows of a table that cannot be read whole, copied one key range at a time: a few records
// that stop every scan (a lost older version, a broken record) need not cost the table's
// other rows. The copy reads the database under repair by its whole-number primary key,
// narrows around each range that fails to the one key that cannot be read, and writes every
// row it could read into the rebuilt file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "server/FbSql.h"

namespace readablerows {

// A table's one-column primary key of a whole-number type, by which its rows can be read
// range by range.
struct RangeKey {
  std::string column;
  std::int64_t least = 0;
  std::int64_t most = 0;
};

// Nothing when the table has no such key (its rows cannot be reached range by range).
std::optional<RangeKey> KeyOf(fbsql::Connection& db, const std::string& table);

struct CopiedRows {
  std::int64_t copied = 0;
  std::vector<std::string> copiedKeys;
  std::vector<std::string> lostKeys;  // the keys that could not be read or written
  std::vector<std::string> refusals;  // "key: the server's error" for each row not written
  // False when the copy gave up before the end of the key range: more rows may be lost than
  // `lostKeys` names.
  bool finished = true;
  std::string error;  // the target's failure that ended the copy, if any
};

// Copies every row of `table` that `sourceFile` gives into `target` (the same table, empty
// or holding placeholders that a read row replaces), the target's triggers off, committing
// as it goes. `progress` hears the number of rows copied so far. A failure on either side
// ends the copy with what it has copied. Throws EFirebirdError only when the triggers could
// not be switched on again: the target is then not fit to take the database's place.
CopiedRows Copy(const fbsql::Login& login, const std::string& sourceFile, fbsql::Connection& target,
                const std::string& table, const RangeKey& key,
                const std::function<void(std::int64_t)>& progress = {});

}  // namespace readablerows
