// While the repair works on the database, the file sits under a work name beside its own
// path. A till that tries to attach it by its path then gets the server's "file not found"
// refusal, instead of committing sales into a file the rebuild is about to discard. A
// shutdown of the database would not do: "single" still lets one SYSDBA attachment in, and
// "full" refuses the mend and the backup service as well.
#pragma once

#include <functional>
#include <string>

// The work name: the database path with the extension ".db_repair1".
std::string WorkFilePath(const std::string& databaseFile);

class TDatabaseOutOfReach {
 public:
  // Renames the database to its work name while holding the lock that tells whether another
  // program has it open. Throws Exception with the in-use message when one has, and with
  // the leftover message when a file already bears the work name.
  explicit TDatabaseOutOfReach(const std::string& databaseFile);
  // A safety net for paths that did not settle: puts the file back, failures ignored.
  ~TDatabaseOutOfReach();
  TDatabaseOutOfReach(const TDatabaseOutOfReach&) = delete;
  TDatabaseOutOfReach& operator=(const TDatabaseOutOfReach&) = delete;

  const std::string& WorkFile() const { return workFile_; }
  // Puts the database back at its own path; throws Exception telling the operator what to
  // rename when it cannot (after retrying for a few seconds: a tool left running by a
  // cancel may still hold the file).
  void PutBack();
  // The rebuilt file has taken the database's path: nothing is to be put back.
  void Settle() { away_ = false; }

 private:
  std::string databaseFile_;
  std::string workFile_;
  bool away_ = false;
};

// Puts the file at `databaseFile`'s work name back when nothing is at its path; false when
// there was nothing to do or the rename failed.
bool PutBackFromWorkName(const std::string& databaseFile);

// Test seam: runs at the steps where a killed process leaves the files half-way ("taken":
// the database under its work name; "replaced": the rebuilt file in place, the old one not
// yet deleted), so a test can end the process there; and before the rebuild's backup
// ("rebuild"), so a test can damage what the mend left.
void SetRepairStepHook(std::function<void(const std::string& step)> hook);
void RunRepairStepHook(const std::string& step);
