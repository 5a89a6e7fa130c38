#include "repair/BlobRepair.h"

#include <memory>
#include <set>

#include "log/SessionLog.h"
#include "os/Exception.h"
#include "progress/ProgressViewer.h"
#include "progress/ScopedProgressViewer.h"
#include "repair/RepairMessages.h"
#include "repair/TableTriggers.h"
#include "server/ServerLogin.h"

using sessionlog::Record;

using namespace repairtext;
using fbsql::Identifier;
using fbsql::Literal;

namespace {

// A poisoned attachment costs a fresh one and a new pass over the table's rows; more rounds
// than this is damage that clearing a few fields does not mend.
constexpr int kMostRounds = 200;

std::string Text(const fbsql::Value& value) {
  return value.text.value_or("");
}

std::string TextLiteral(const std::string& text) {
  return Literal(fbsql::Value{text, false});
}

struct BlobTable {
  std::string name;
  std::vector<std::string> columns;
  std::vector<bool> required;
  std::vector<std::string> keyColumns;  // the primary key; none: RDB$DB_KEY names the row
};

std::vector<BlobTable> BlobTables(fbsql::Connection& db) {
  const fbsql::Result columns = db.Query(
      "select trim(r.rdb$relation_name), trim(rf.rdb$field_name),"
      " coalesce(rf.rdb$null_flag, f.rdb$null_flag, 0)"
      " from rdb$relations r"
      " join rdb$relation_fields rf on rf.rdb$relation_name = r.rdb$relation_name"
      " join rdb$fields f on f.rdb$field_name = rf.rdb$field_source"
      " where coalesce(r.rdb$system_flag, 0) = 0 and r.rdb$view_blr is null"
      " and r.rdb$external_file is null and coalesce(r.rdb$relation_type, 0) = 0"
      " and f.rdb$field_type = 261 and f.rdb$computed_blr is null"
      " order by 1, rf.rdb$field_position");
  std::vector<BlobTable> tables;
  for (const fbsql::Row& row : columns.rows) {
    if (tables.empty() || tables.back().name != Text(row[0])) {
      tables.emplace_back();
      tables.back().name = Text(row[0]);
    }
    tables.back().columns.push_back(Text(row[1]));
    tables.back().required.push_back(Text(row[2]) != "0");
  }
  for (BlobTable& table : tables)
    for (const fbsql::Row& row :
         db.Query("select trim(s.rdb$field_name) from rdb$relation_constraints c"
                  " join rdb$index_segments s on s.rdb$index_name = c.rdb$index_name"
                  " where c.rdb$constraint_type = 'PRIMARY KEY' and c.rdb$relation_name = " +
                  TextLiteral(table.name) + " order by s.rdb$field_position")
             .rows)
      table.keyColumns.push_back(Text(row[0]));
  db.Commit();
  return tables;
}

std::string Numbered(const char* prefix, std::size_t number) {
  std::string name = prefix;
  name += std::to_string(number);
  return name;
}

// One pass over the table's rows after the first `skip`, reading every BLOB field whole
// (hash reads all of it) on the server. Each field that cannot be read answers a row: the
// row's number, the column's number from 1, RDB$DB_KEY and the key's values. A row that
// cannot be fetched ends the pass with column 0: the table is the salvage's business.
std::string ScanBlock(const BlobTable& table, std::int64_t skip) {
  std::string outputs = "N bigint, C integer, DBK char(8) character set octets";
  std::string locals = "declare i bigint = 0;\ndeclare h bigint;\n";
  std::string selected = "rdb$db_key";
  std::string into = ":DBK";
  for (std::size_t k = 0; k < table.keyColumns.size(); ++k) {
    outputs += ", " + Numbered("K", k) + " varchar(500) character set UTF8";
    selected +=
        ", cast(" + Identifier(table.keyColumns[k]) + " as varchar(500) character set UTF8)";
    into += ", :" + Numbered("K", k);
  }
  std::string reads;
  for (std::size_t b = 0; b < table.columns.size(); ++b) {
    const std::string var = Numbered("B", b);
    locals += "declare " + var + " blob;\n";
    selected += ", " + Identifier(table.columns[b]);
    into += ", :" + var;
    reads += "      begin h = hash(:" + var +
             "); when any do begin n = i; c = " + std::to_string(b + 1) + "; suspend; end end\n";
  }
  return "execute block returns (" + outputs + ") as\n" + locals +
         "begin\n"
         "  begin\n"
         "    for select " +
         selected + " from " + Identifier(table.name) + " into " + into +
         " do begin\n"
         "      i = i + 1;\n"
         "      if (i > " +
         std::to_string(skip) + ") then begin\n" + reads +
         "      end\n"
         "    end\n"
         "    when any do begin n = i + 1; c = 0; suspend; end\n"
         "  end\n"
         "end";
}

// After a bugcheck the server refuses every later statement of the attachment.
bool StillUsable(fbsql::Connection& db) {
  try {
    db.Query("select 1 from rdb$database");
    db.Commit();
    return true;
  } catch (const EFirebirdError&) {
    return false;
  }
}

UnreadableBlob Field(const BlobTable& table, const fbsql::Row& row, int column) {
  UnreadableBlob field;
  field.table = table.name;
  field.column = table.columns[column - 1];
  field.required = table.required[column - 1];
  field.dbKey = Literal(row[2]);
  for (std::size_t k = 0; k < table.keyColumns.size(); ++k)
    field.key += (k == 0 ? "" : ", ") + table.keyColumns[k] + " = " + Text(row[3 + k]);
  if (table.keyColumns.empty())
    field.key = "RDB$DB_KEY = " + field.dbKey;
  return field;
}

void ScanTable(const fbsql::Login& login, const std::string& databaseFile, const BlobTable& table,
               std::unique_ptr<fbsql::Connection>& db, std::vector<UnreadableBlob>& found) {
  std::int64_t skip = 0;
  for (int round = 0; round < kMostRounds; ++round) {
    const bool fresh = !db;
    if (fresh)
      db = std::make_unique<fbsql::Connection>(login, databaseFile);
    fbsql::Result failures;
    try {
      failures = db->Query(ScanBlock(table, skip));
      db->Commit();
    } catch (const EFirebirdError&) {
      db.reset();
      if (fresh)
        return;  // not even a fresh attachment reads this table
      continue;
    }
    // On a poisoned attachment only the first failure is the table's own: the later ones
    // may be the refusals that follow a bugcheck. The pass resumes after it on a fresh one.
    const bool usable = StillUsable(*db);
    if (!usable)
      db.reset();
    for (const fbsql::Row& row : failures.rows) {
      const int column = std::stoi(Text(row[1]));
      if (column == 0)
        return;
      found.push_back(Field(table, row, column));
      skip = std::stoll(Text(row[0]));
      if (!usable)
        break;
    }
    if (usable || failures.rows.empty())
      return;
  }
}

// The fields are cleared with the tables' triggers off.
void Clear(const fbsql::Login& login, const std::string& databaseFile,
           const std::vector<UnreadableBlob>& fields) {
  fbsql::Connection db(login, databaseFile);
  std::set<std::string> tables;
  for (const UnreadableBlob& field : fields)
    tables.insert(field.table);
  const std::vector<std::string> triggers = tabletriggers::Suspend(db, tables);
  try {
    for (const UnreadableBlob& field : fields)
      db.Execute("update " + Identifier(field.table) + " set " + Identifier(field.column) + " = " +
                 (field.required ? "''" : "null") + " where rdb$db_key = " + field.dbKey);
    db.Commit();
  } catch (const EFirebirdError&) {
    tabletriggers::Resume(db, triggers);
    throw;
  }
  tabletriggers::Resume(db, triggers);
}

}  // namespace

std::vector<UnreadableBlob> FindUnreadableBlobs(
    const fbsql::Login& login, const std::string& databaseFile,
    const std::function<void(const std::string&)>& onTable) {
  auto db = std::make_unique<fbsql::Connection>(login, databaseFile);
  const std::vector<BlobTable> tables = BlobTables(*db);
  std::vector<UnreadableBlob> found;
  for (const BlobTable& table : tables) {
    if (onTable)
      onTable(table.name);
    ScanTable(login, databaseFile, table, db, found);
  }
  return found;
}

std::vector<UnreadableBlob> ClearUnreadableBlobs(OperatorDialogs& dialogs,
                                                 const std::string& databaseFile,
                                                 const std::string& safetyCopy) {
  fbsql::Login login{LocalServerLogin()};
  login.noGarbageCollect = true;
  std::vector<UnreadableBlob> fields;
  try {
    ScopedProgressViewer viewer(kBlobSearchCaption, /*showPercent=*/false, /*canCancel=*/false);
    fields = FindUnreadableBlobs(login, databaseFile, [&viewer](const std::string& table) {
      viewer->SetString(10, table, 0, false, 0x008000, 1, 12, "");
    });
  } catch (const Exception& e) {
    Record(kBlobSearchFailed + e.Message());
    return {};
  }
  if (fields.empty())
    return {};
  Record(kBlobsFound + BlobFieldLines(fields, fields.size()));
  if (dialogs.ShowMessage(kBlobCaption, BlobQuestion(fields, safetyCopy), DialogButtons::YesNo,
                          DialogIcon::Warning, /*defaultButton=*/1) != DialogResult::Yes) {
    Record(kBlobsRefused);
    return {};
  }
  try {
    Clear(login, databaseFile, fields);
  } catch (const Exception& e) {
    Record(kBlobClearFailed + e.Message());
    return {};
  }
  Record(kBlobsCleared + BlobFieldLines(fields, fields.size()));
  return fields;
}

void ReportClearedBlobs(OperatorDialogs& dialogs, const std::vector<UnreadableBlob>& cleared) {
  if (!cleared.empty())
    dialogs.ShowMessage(kBlobCaption, BlobReport(cleared), DialogButtons::Ok,
                        DialogIcon::Information);
}
