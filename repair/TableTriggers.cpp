#include "repair/TableTriggers.h"

namespace tabletriggers {

namespace {

void SetState(fbsql::Connection& db, const std::vector<std::string>& triggers, const char* state) {
  for (const std::string& trigger : triggers)
    db.Execute("alter trigger " + fbsql::Identifier(trigger) + " " + state);
  db.Commit();
}

}  // namespace

std::vector<std::string> Suspend(fbsql::Connection& db, const std::set<std::string>& tables) {
  std::vector<std::string> triggers;
  for (const std::string& table : tables)
    for (const fbsql::Row& row :
         db.Query("select trim(rdb$trigger_name) from rdb$triggers"
                  " where coalesce(rdb$system_flag, 0) = 0"
                  " and coalesce(rdb$trigger_inactive, 0) = 0 and rdb$relation_name = " +
                  fbsql::Literal(fbsql::Value{table, false}))
             .rows)
      triggers.push_back(row[0].text.value_or(""));
  SetState(db, triggers, "inactive");
  return triggers;
}

void Resume(fbsql::Connection& db, const std::vector<std::string>& triggers) {
  db.Rollback();
  SetState(db, triggers, "active");
}

}  // namespace tabletriggers
