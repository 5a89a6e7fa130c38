// A client of the database server's service manager, as much of it as the trial backup
// needs: attach over TCP with user name and password, start a verbose backup, read its
// output line by line, detach. The client library is loaded at the first attach, so the
// program starts without it and reports its absence only when a backup is asked for.
//
//   FbServiceConnection service;
//   service.Attach("127.0.0.1", 3050, "SYSDBA", password);
//   service.StartBackup("/db/VELMAR.FDB", "/db/VELMAR.db_backup", true);
//   while (auto line = service.NextLine()) show(*line);   // a failure part-way throws
//   service.Detach();
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/Exception.h"

// Every failure of the client library or the server: loading the library, attaching,
// starting the service, reading its output. The message is the library's own text.
VELMAR_DECLARE_EXCEPTION(EFirebirdError, Exception);

class FbServiceConnection {
 public:
  FbServiceConnection();
  ~FbServiceConnection();  // detaches
  FbServiceConnection(const FbServiceConnection&) = delete;
  FbServiceConnection& operator=(const FbServiceConnection&) = delete;

  // "host/port:service_mgr": the service manager of the server at host and port, over TCP.
  static std::string ServiceName(const std::string& host, std::int32_t port);

  // Loads the client library if needed and attaches to the service manager. A wrong
  // password, a stopped server or a missing library throw EFirebirdError here. An earlier
  // attachment of this object is detached first.
  void Attach(const std::string& host, std::int32_t port, const std::string& userName,
              const std::string& password);
  // Starts a backup of `databaseFile` into the single file `backupFile` (both as the server
  // names them), with no option but verbose output. Errors about the files themselves
  // usually arrive only while the output is read.
  void StartBackup(const std::string& databaseFile, const std::string& backupFile,
                   bool verbose = true);
  // The next output line of the service; nullopt once the service has ended. A service that
  // fails throws EFirebirdError after the lines it delivered before the failure.
  std::optional<std::string> NextLine();
  bool NextLine(std::string& line);
  // Never throws; safe to call when not attached.
  void Detach();
  bool Attached() const;

  // Starts any other action from its whole start block, made by the caller in the service
  // manager's format (the action's tag, then its items); read its output with NextLine.
  void StartAction(const std::vector<std::uint8_t>& startBlock);

 private:
  struct Session;
  std::unique_ptr<Session> session_;
  std::deque<std::string> pendingLines_;
  std::optional<EFirebirdError> pendingError_;
  bool started_ = false;
  bool finished_ = false;
};
