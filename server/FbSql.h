// Plain SQL on a database file through the server's client library (the library the trial
// backup loads): one attachment, one transaction at a time, every value read as UTF-8 text
// (numbers and dates as the server writes them), blobs read whole.
//
//   fbsql::Connection db({"127.0.0.1", port, "SYSDBA", password}, path);
//   fbsql::Result r = db.Query("select ID, NAME from CUSTOMERS");
//   db.Execute("delete from SALES where ID = 5");
//   db.Commit();
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server/FbService.h"
#include "server/ServerLogin.h"

namespace fbsql {

// The local server's login, and how the attachment reads.
struct Login : ServerLogin {
  // Reading a damaged database must not set the server to clean up record versions on its
  // damaged pages.
  bool noGarbageCollect = false;
};

struct Value {
  std::optional<std::string> text;  // nothing for NULL
  bool binary = false;              // raw bytes (OCTETS, a binary blob), not text
};
using Row = std::vector<Value>;

struct Result {
  std::vector<std::string> columns;  // the names (aliases) the statement gives
  std::vector<Row> rows;
};

// Every failure throws EFirebirdError with the library's own text.
class Connection {
 public:
  Connection(const Login& login, const std::string& databaseFile);
  ~Connection();  // rolls an open transaction back and detaches
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // In the open transaction, started when needed.
  Result Query(const std::string& sql);
  void Execute(const std::string& sql);
  void Commit();
  void Rollback();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// "NAME" with inner double quotes doubled.
std::string Identifier(const std::string& name);
// 'text' with inner quotes doubled; NULL for nothing; x'..' for binary values. A value too
// long for one literal is a blob joined from pieces on the server.
std::string Literal(const Value& value);

}  // namespace fbsql
