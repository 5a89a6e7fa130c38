#include "repair/KeyRepair.h"

#include <algorithm>
#include <map>
#include <set>

#include "log/SessionLog.h"
#include "os/Exception.h"
#include "os/File.h"
#include "os/Files.h"
#include "os/Format.h"
#include "os/SystemError.h"
#include "os/Time.h"
#include "progress/ProgressViewer.h"
#include "progress/ScopedProgressViewer.h"
#include "repair/RepairMessages.h"
#include "repair/ToolLogText.h"
#include "server/FbServiceRestore.h"
#include "server/FbSql.h"
#include "server/FixedPaths.h"
#include "server/ServerLogin.h"

using sessionlog::Record;
using sessionlog::TimeStamp;

namespace {

using fbsql::Identifier;
using fbsql::Literal;

constexpr char kRowKey[] = "VELMAR$KEY";
constexpr char kRowNumber[] = "VELMAR$N";
// Each round follows references one step further; real chains are far shorter.
constexpr int kMostRounds = 20;

struct Constraint {
  std::string table;
  std::string index;
  std::vector<std::string> columns;
  // A foreign key's referenced table and its key columns; empty for a primary or unique key.
  std::string parent;
  std::vector<std::string> parentColumns;
};

struct Column {
  std::string name;
  int type = 0;
  int length = 0;         // characters of a text column
  bool required = false;  // NOT NULL without a default of its own
};

std::vector<std::string> Texts(const fbsql::Result& result, std::size_t column = 0) {
  std::vector<std::string> texts;
  for (const fbsql::Row& row : result.rows)
    texts.push_back(row[column].text.value_or(""));
  return texts;
}

std::string SqlText(const std::string& text) {
  return Literal(fbsql::Value{text, false});
}

std::vector<std::string> Segments(fbsql::Connection& db, const std::string& index) {
  return Texts(
      db.Query("select trim(rdb$field_name) from rdb$index_segments where "
               "rdb$index_name = " +
               SqlText(index) + " order by rdb$field_position"));
}

std::vector<Constraint> Constraints(fbsql::Connection& db) {
  std::vector<Constraint> constraints;
  const fbsql::Result keys = db.Query(
      "select trim(c.rdb$relation_name), trim(c.rdb$index_name), trim(p.rdb$relation_name),"
      " trim(p.rdb$index_name) from rdb$relation_constraints c"
      " left join rdb$ref_constraints r on r.rdb$constraint_name = c.rdb$constraint_name"
      " left join rdb$relation_constraints p on p.rdb$constraint_name = r.rdb$const_name_uq"
      " where c.rdb$constraint_type in ('PRIMARY KEY', 'UNIQUE', 'FOREIGN KEY')"
      " order by iif(c.rdb$constraint_type = 'FOREIGN KEY', 1, 0), 1, 2");
  for (const fbsql::Row& row : keys.rows) {
    Constraint c{*row[0].text, *row[1].text, Segments(db, *row[1].text), {}, {}};
    if (row[2].text) {
      c.parent = *row[2].text;
      c.parentColumns = Segments(db, *row[3].text);
    }
    constraints.push_back(std::move(c));
  }
  return constraints;
}

std::vector<Column> Columns(fbsql::Connection& db, const std::string& table) {
  const fbsql::Result result = db.Query(
      "select trim(rf.rdb$field_name), f.rdb$field_type,"
      " coalesce(f.rdb$character_length, f.rdb$field_length),"
      " iif(coalesce(rf.rdb$null_flag, f.rdb$null_flag, 0) = 1 and rf.rdb$default_source is null"
      " and f.rdb$default_source is null and rf.rdb$identity_type is null"
      " and f.rdb$computed_blr is null, 1, 0)"
      " from rdb$relation_fields rf join rdb$fields f on f.rdb$field_name = rf.rdb$field_source"
      " where rf.rdb$relation_name = " +
      SqlText(table) + " order by rf.rdb$field_position");
  std::vector<Column> columns;
  for (const fbsql::Row& row : result.rows)
    columns.push_back(
        {*row[0].text, std::stoi(*row[1].text), std::stoi(*row[2].text), *row[3].text == "1"});
  return columns;
}

std::string Joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string text;
  for (const std::string& part : parts)
    text += (text.empty() ? "" : separator) + part;
  return text;
}

// c."A" = 'x' and c."B" = 'y'
std::string Matching(const std::string& alias, const std::vector<std::string>& columns,
                     const std::vector<std::string>& values) {
  std::vector<std::string> terms;
  for (std::size_t i = 0; i < columns.size(); ++i)
    terms.push_back(alias + "." + Identifier(columns[i]) + " = " + values[i]);
  return Joined(terms, " and ");
}

// Works out and applies, in one transaction the operator may still refuse, what makes every
// key and reference hold again.
class Mender {
 public:
  Mender(fbsql::Connection& db, KeyRepairPlan& plan)
      : db_(db), plan_(plan), constraints_(Constraints(db)) {}

  void Run() {
    for (const Constraint& c : constraints_)
      if (c.parent.empty())
        SetAsideDuplicates(c);
    for (int round = 0; round < kMostRounds; ++round) {
      bool changed = false;
      for (const Constraint& c : constraints_)
        if (!c.parent.empty())
          changed |= MendReferences(c);
      if (!changed)
        return;
    }
  }

 private:
  // Of rows sharing a key, the first stored stays.
  void SetAsideDuplicates(const Constraint& c) {
    std::vector<std::string> key, present;
    for (const std::string& column : c.columns) {
      key.push_back("t." + Identifier(column));
      present.push_back("t." + Identifier(column) + " is not null");
    }
    const std::string sql = "select * from (select t.rdb$db_key as " + Identifier(kRowKey) +
                            ", row_number() over (partition by " + Joined(key, ", ") +
                            " order by t.rdb$db_key) as " + Identifier(kRowNumber) + ", t.* from " +
                            Identifier(c.table) + " t where " + Joined(present, " and ") +
                            ") where " + Identifier(kRowNumber) + " > 1";
    SetAside(c.table, db_.Query(sql), 2);
  }

  // Rows whose reference has no row: a placeholder where one can stand, else set aside.
  bool MendReferences(const Constraint& c) {
    std::vector<std::string> keys, present;
    for (const std::string& column : c.columns) {
      keys.push_back("c." + Identifier(column));
      present.push_back("c." + Identifier(column) + " is not null");
    }
    std::vector<std::string> parentKey;
    for (const std::string& column : c.parentColumns)
      parentKey.push_back("p." + Identifier(column));
    std::vector<std::string> joins;
    for (std::size_t i = 0; i < keys.size(); ++i)
      joins.push_back(parentKey[i] + " = " + keys[i]);
    const fbsql::Result orphans =
        db_.Query("select distinct " + Joined(keys, ", ") + " from " + Identifier(c.table) +
                  " c where " + Joined(present, " and ") + " and not exists (select 1 from " +
                  Identifier(c.parent) + " p where " + Joined(joins, " and ") + ")");
    for (const fbsql::Row& row : orphans.rows) {
      std::vector<std::string> values, shown;
      for (const fbsql::Value& value : row) {
        values.push_back(Literal(value));
        shown.push_back(value.text.value_or(""));
      }
      if (!failed_.count(c.parent + "\n" + Joined(shown, "\n")) &&
          InsertPlaceholder(c.parent, c.parentColumns, row))
        continue;
      failed_.insert(c.parent + "\n" + Joined(shown, "\n"));
      SetAside(c.table,
               db_.Query("select c.rdb$db_key as " + Identifier(kRowKey) + ", c.* from " +
                         Identifier(c.table) + " c where " + Matching("c", c.columns, values)),
               1);
    }
    return !orphans.rows.empty();
  }

  bool InsertPlaceholder(const std::string& table, const std::vector<std::string>& keyColumns,
                         const fbsql::Row& key) {
    std::vector<std::string> names, values, shown;
    for (std::size_t i = 0; i < keyColumns.size(); ++i) {
      names.push_back(Identifier(keyColumns[i]));
      values.push_back(Literal(key[i]));
      shown.push_back(key[i].text.value_or(""));
    }
    const std::string keyText = Joined(shown, "-");
    for (const Column& column : ColumnsOf(table)) {
      if (!column.required ||
          std::find(keyColumns.begin(), keyColumns.end(), column.name) != keyColumns.end())
        continue;
      names.push_back(Identifier(column.name));
      values.push_back(NeutralValue(table, column, keyText));
    }
    try {
      db_.Execute("insert into " + Identifier(table) + " (" + Joined(names, ", ") + ") values (" +
                  Joined(values, ", ") + ")");
    } catch (const EFirebirdError& e) {
      Record(Format(repairtext::kPlaceholderFailed, {table, keyText, e.Message()}));
      return false;
    }
    Placeholders(table).keys.push_back(Joined(shown, ", "));
    return true;
  }

  // A value no rule of the column refuses: a text marks the row, a unique column takes the
  // key (so two placeholders never collide), numbers 0, dates the repair's.
  std::string NeutralValue(const std::string& table, const Column& column, const std::string& key) {
    const bool unique = UniqueColumn(table, column.name);
    switch (column.type) {
      case 14:  // CHAR
      case 37:  // VARCHAR
        return SqlText(unique ? key.substr(0, static_cast<std::size_t>(column.length))
                              : keyrepair::MarkerText(column.length));
      case 261:  // BLOB
        return SqlText(repairtext::kPlaceholderMarker);
      case 12:
        return "current_date";
      case 13:
        return "current_time";
      case 35:
        return "current_timestamp";
      case 23:
        return "false";
      default:
        return unique ? SqlText(key) : "0";
    }
  }

  bool UniqueColumn(const std::string& table, const std::string& column) const {
    return std::any_of(constraints_.begin(), constraints_.end(), [&](const Constraint& c) {
      return c.parent.empty() && c.table == table && c.columns.size() == 1 &&
             c.columns[0] == column;
    });
  }

  const std::vector<Column>& ColumnsOf(const std::string& table) {
    auto found = columns_.find(table);
    if (found == columns_.end())
      found = columns_.emplace(table, Columns(db_, table)).first;
    return found->second;
  }

  KeyRepairPlan::Placeholders& Placeholders(const std::string& table) {
    for (auto& p : plan_.placeholders)
      if (p.table == table)
        return p;
    plan_.placeholders.push_back({table, {}});
    return plan_.placeholders.back();
  }

  // `rows` start with the row's key and `skip` - 1 columns of our own; the rest is the row.
  void SetAside(const std::string& table, const fbsql::Result& rows, std::size_t skip) {
    if (rows.rows.empty())
      return;
    KeyRepairPlan::SetAside* entry = nullptr;
    for (auto& s : plan_.setAside)
      if (s.table == table)
        entry = &s;
    if (entry == nullptr) {
      plan_.setAside.push_back(
          {table, std::vector<std::string>(rows.columns.begin() + skip, rows.columns.end()), {}});
      entry = &plan_.setAside.back();
    }
    for (const fbsql::Row& row : rows.rows) {
      std::vector<std::string> literals;
      for (std::size_t i = skip; i < row.size(); ++i)
        literals.push_back(Literal(row[i]));
      entry->rows.push_back(std::move(literals));
      db_.Execute("delete from " + Identifier(table) + " where rdb$db_key = " + Literal(row[0]));
    }
  }

  fbsql::Connection& db_;
  KeyRepairPlan& plan_;
  std::vector<Constraint> constraints_;
  std::map<std::string, std::vector<Column>> columns_;
  std::set<std::string> failed_;
};

fbsql::Login Login() {
  return {LocalServerLogin()};
}

// The user indexes active in the database that was backed up.
std::vector<std::string> ActiveIndexes(const fbsql::Login& login, const std::string& database) {
  fbsql::Connection db(login, database);
  return Texts(
      db.Query("select trim(i.rdb$index_name) from rdb$indices i join rdb$relations r on"
               " r.rdb$relation_name = i.rdb$relation_name where coalesce(r.rdb$system_flag, 0) = 0"
               " and coalesce(i.rdb$index_inactive, 0) = 0"
               // A foreign key needs the key it refers to active first.
               " order by coalesce(i.rdb$unique_flag, 0) desc, 1"));
}

// False when the backup does not restore even with its indexes left inactive.
bool RestoreWithoutIndexes(const fbsql::Login& login, const std::string& backupFile,
                           const std::string& restoredFile) {
  if (os::FileExists(restoredFile) && !os::RemoveOwnFile(restoredFile))
    return false;
  std::string lines;
  try {
    ScopedProgressViewer viewer(repairtext::kRestoreCaption, false, false);
    FbRestoreService restore;
    restore.Attach(login.host, login.port, login.userName, login.password);
    restore.Start(backupFile, restoredFile, /*indexesInactive=*/true);
    while (std::optional<std::string> line = restore.NextLine()) {
      viewer->SetString(10, *line, 0, false, 0x008000, 1, 12, "");
      lines += *line + "\r\n";
    }
  } catch (const EFirebirdError& e) {
    Record(repairtext::kNoIndexRestoreFailed + lines + e.Message());
    return false;
  }
  return true;
}

// User triggers must not add to, change or remove the rows the mend lists; they are switched
// off while it works and on again afterwards.
std::vector<std::string> SuspendTriggers(fbsql::Connection& db) {
  const std::vector<std::string> triggers = Texts(db.Query(
      "select trim(rdb$trigger_name) from rdb$triggers where coalesce(rdb$system_flag, 0) = 0"
      " and coalesce(rdb$trigger_inactive, 0) = 0"));
  for (const std::string& trigger : triggers)
    db.Execute("alter trigger " + Identifier(trigger) + " inactive");
  db.Commit();
  return triggers;
}

void ResumeTriggers(fbsql::Connection& db, const std::vector<std::string>& triggers) {
  db.Rollback();
  for (const std::string& trigger : triggers)
    db.Execute("alter trigger " + Identifier(trigger) + " active");
  db.Commit();
}

std::map<std::string, std::int64_t> TableCounts(fbsql::Connection& db) {
  std::map<std::string, std::int64_t> counts;
  for (const std::string& table : Texts(db.Query(
           "select trim(rdb$relation_name) from rdb$relations where coalesce(rdb$system_flag, 0)"
           " = 0 and rdb$view_blr is null and rdb$external_file is null"
           " and coalesce(rdb$relation_type, 0) = 0")))
    counts[table] =
        std::stoll(*db.Query("select count(*) from " + Identifier(table)).rows.at(0).at(0).text);
  return counts;
}

// A cascade of a foreign key (or anything else) that removed or added rows the plan does not
// list would change data behind the operator's back.
void ExpectOnlyListedChanges(fbsql::Connection& db,
                             const std::map<std::string, std::int64_t>& before,
                             const KeyRepairPlan& plan) {
  std::map<std::string, std::int64_t> expected = before;
  for (const auto& p : plan.placeholders)
    expected[p.table] += static_cast<std::int64_t>(p.keys.size());
  for (const auto& s : plan.setAside)
    expected[s.table] -= static_cast<std::int64_t>(s.rows.size());
  for (const auto& [table, rows] : TableCounts(db)) {
    if (rows != expected[table]) {
      Record(Format(repairtext::kOtherRowsChanged, {table, rows, expected[table]}));
      throw Exception(repairtext::RestoreFailedMessage());
    }
  }
}

bool Agrees(OperatorDialogs& dialogs, const KeyRepairPlan& plan, const std::string& safetyCopy) {
  return dialogs.ShowMessage(repairtext::kKeyCaption, repairtext::KeyQuestion(plan, safetyCopy),
                             DialogButtons::YesNo, DialogIcon::Warning,
                             /*defaultButton=*/1) == DialogResult::Yes;
}

bool AgreedBefore(const KeyRepairPlan& plan) {
  const auto& agreed = plan.agreedPlaceholders;
  return plan.setAside.empty() &&
         std::all_of(plan.placeholders.begin(), plan.placeholders.end(), [&](const auto& p) {
           return std::find(agreed.begin(), agreed.end(), p.table) != agreed.end();
         });
}

// UTF-8, as isql reads it with "-ch UTF8"; written before anything in the rebuilt file changes.
void WriteSetAsideFile(const KeyRepairPlan& plan) {
  if (plan.setAside.empty())
    return;
  const std::string text = keyrepair::SetAsideFileText(plan, TimeStamp());
  auto file = os::File::Open(plan.file, os::File::Mode::CreateExclusive);
  try {
    if (!file)
      throw Exception(os::LastErrorText());
    file->Write(text.data(), text.size());
    file->Close();
  } catch (const Exception& e) {
    Record(Format(repairtext::kSetAsideNotWritten, {plan.file, e.Message()}));
    throw Exception(repairtext::RestoreFailedMessage());
  }
  Record(repairtext::kSetAsideWritten + plan.file);
}

void ActivateIndexes(fbsql::Connection& db, const std::vector<std::string>& indexes) {
  for (const std::string& index : indexes) {
    try {
      db.Execute("alter index " + Identifier(index) + " active");
      db.Commit();
    } catch (const EFirebirdError& e) {
      Record(Format(repairtext::kIndexNotActivated, {index, e.Message()}));
      db.Rollback();
      throw Exception(repairtext::RestoreFailedMessage());
    }
  }
}

}  // namespace

namespace keyrepair {

bool OnlyKeysFailed(const std::string& text) {
  const bool keys = text.find("violation of") != std::string::npos ||
                    text.find("cannot commit index") != std::string::npos ||
                    text.find("is not online") != std::string::npos ||
                    text.find("Cannot deactivate index") != std::string::npos;
  return keys && text.find("I/O error") == std::string::npos && toollog::HasMarker(text, "gbak:") &&
         text.find("gbak:created database") != std::string::npos;
}

std::string SetAsideFilePath(const std::string& safetyCopy) {
  return os::ChangeFileExt(safetyCopy, repairtext::kSetAsideSuffix);
}

std::string MarkerText(int characters) {
  std::string text;
  int count = 0;
  for (const char* c = repairtext::kPlaceholderMarker; *c != '\0'; ++c) {
    const bool starts = (static_cast<unsigned char>(*c) & 0xC0) != 0x80;
    if (starts && ++count > characters)
      break;
    text += *c;
  }
  return text;
}

std::string SetAsideFileText(const KeyRepairPlan& plan, const std::string& timeStamp) {
  std::string text = Format(repairtext::kSetAsideFileHead, {timeStamp});
  for (const auto& p : plan.placeholders)
    text += Format(repairtext::kSetAsidePlaceholders, {p.table, Joined(p.keys, "; ")});
  for (const auto& s : plan.setAside) {
    std::vector<std::string> names;
    for (const std::string& column : s.columns)
      names.push_back(Identifier(column));
    for (const auto& row : s.rows)
      text += "insert into " + Identifier(s.table) + " (" + Joined(names, ", ") + ") values (" +
              Joined(row, ", ") + ");\r\n";
  }
  return text + "commit;\r\n";
}

}  // namespace keyrepair

bool MendKeysOfRebuild(OperatorDialogs& dialogs, const std::string& databaseFile,
                       const std::string& backupFile, const std::string& restoredFile,
                       const std::string& safetyCopy, KeyRepairPlan& plan) {
  const std::string toolLog = paths::ToolLog();
  if (!os::FileExists(toolLog) || !keyrepair::OnlyKeysFailed(toollog::ReadAsText(toolLog)))
    return false;
  Record(repairtext::kKeysOnlyFailed);
  const fbsql::Login login = Login();
  std::vector<std::string> indexes;
  try {
    indexes = ActiveIndexes(login, databaseFile);
  } catch (const EFirebirdError& e) {
    Record(repairtext::kIndexesNotRead + e.Message());
    return false;
  }
  if (!RestoreWithoutIndexes(login, backupFile, restoredFile))
    return false;
  std::vector<std::string> agreed = std::move(plan.agreedPlaceholders);
  plan = KeyRepairPlan{};
  plan.agreedPlaceholders = std::move(agreed);
  plan.file = keyrepair::SetAsideFilePath(safetyCopy);
  try {
    fbsql::Connection db(login, restoredFile);
    const std::vector<std::string> triggers = SuspendTriggers(db);
    const std::map<std::string, std::int64_t> counts = TableCounts(db);
    Mender(db, plan).Run();
    ExpectOnlyListedChanges(db, counts, plan);
    if ((!plan.placeholders.empty() || !plan.setAside.empty()) && !AgreedBefore(plan) &&
        !Agrees(dialogs, plan, safetyCopy)) {
      Record(repairtext::kKeyMendRefused);
      ResumeTriggers(db, triggers);
      return false;
    }
    WriteSetAsideFile(plan);
    db.Commit();
    ResumeTriggers(db, triggers);
    ActivateIndexes(db, indexes);
  } catch (const EFirebirdError& e) {
    Record(repairtext::kKeyMendFailed + e.Message());
    throw Exception(repairtext::RestoreFailedMessage());
  }
  plan.applied = true;
  Record(repairtext::KeyReport(plan));
  return true;
}

std::vector<std::string> ReferredTables(const std::string& databaseFile,
                                        const std::vector<std::string>& tables) {
  fbsql::Connection db(Login(), databaseFile);
  const fbsql::Result references = db.Query(
      "select distinct trim(c.rdb$relation_name), trim(p.rdb$relation_name)"
      " from rdb$relation_constraints c"
      " join rdb$ref_constraints r on r.rdb$constraint_name = c.rdb$constraint_name"
      " join rdb$relation_constraints p on p.rdb$constraint_name = r.rdb$const_name_uq"
      " where c.rdb$constraint_type = 'FOREIGN KEY'");
  const auto listed = [&tables](const std::string& table) {
    return std::find(tables.begin(), tables.end(), table) != tables.end();
  };
  std::vector<std::string> referred;
  for (const std::string& table : tables) {
    // Rows of a table that loses its rows, itself included, refer to nothing any more.
    const bool kept = std::any_of(
        references.rows.begin(), references.rows.end(),
        [&](const fbsql::Row& row) { return *row[1].text == table && !listed(*row[0].text); });
    if (kept)
      referred.push_back(table);
  }
  return referred;
}

void ReportKeyRepair(OperatorDialogs& dialogs, const KeyRepairPlan& plan) {
  if (!plan.applied || (plan.placeholders.empty() && plan.setAside.empty()))
    return;
  dialogs.ShowMessage(repairtext::kKeyCaption, repairtext::KeyReport(plan), DialogButtons::Ok,
                      DialogIcon::Information);
}
