// A restore through the database server's service manager, as `gbak -c -v` does it: the server
// reads the backup file and creates the new database itself, and its verbose output is read
// line by line. Beside the backup client (FbService.h), whose attachment it does not share.
//
//   FbRestoreService restore;
//   restore.Attach("127.0.0.1", 3050, "SYSDBA", password);
//   restore.Start("/db/VELMAR.db_backup", "/tmp/DBRepair/check.fdb");
//   while (auto line = restore.NextLine()) show(*line);   // a failed restore throws
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "server/FbService.h"

class FbRestoreService {
 public:
  FbRestoreService();
  ~FbRestoreService();  // detaches
  FbRestoreService(const FbRestoreService&) = delete;
  FbRestoreService& operator=(const FbRestoreService&) = delete;

  // Throws EFirebirdError (library missing, server stopped, login refused).
  void Attach(const std::string& host, std::int32_t port, const std::string& userName,
              const std::string& password);
  // Creates `databaseFile` (which must not exist) from `backupFile`, verbose; with
  // `indexesInactive` every index is left inactive (gbak -i).
  void Start(const std::string& backupFile, const std::string& databaseFile,
             bool indexesInactive = false);
  // The next output line; nullopt once the service has ended. A restore that stops throws
  // EFirebirdError after the lines delivered before its failure.
  std::optional<std::string> NextLine();
  void Detach();

 private:
  struct Session;
  std::unique_ptr<Session> session_;
  std::deque<std::string> pending_;
  std::optional<EFirebirdError> error_;
  bool finished_ = false;
};

// A restore's output says that the new database was left off-line or without an index (the
// service ends without an error then).
bool RestoreLeftIndexesOff(const std::string& line);
