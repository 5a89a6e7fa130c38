// The operator's repair scenarios, one table for the Linux and the Wine runners: the damage,
// the database's place, the operator's answers, the records the session log must hold, the
// boxes and the files left. Each record list is written here once; where the platforms truly
// differ (how the rows are counted, the paths, a step only one of them runs), a field or an
// argument says so.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tests/support/DamageKit.h"
#include "tests/support/ScriptedDialogs.h"

namespace scenarios {

enum class Platform { Linux, Windows };

// How the repair's row counts reach the log. Under Wine there is no client library: each
// count is one record saying it could not be loaded, and no table's figures follow.
enum class RowCounting { Counted, NoClientLibrary };

// Whether the mend is known to leave the re-check nothing to find (the stand-in tools): then
// the re-check's closing record is expected, else it is optional (see RecheckDone()).
enum class Recheck { Clean, MayFindDamage };

// The files of one repair, as the program names them beside the database.
struct RepairFiles {
  std::string database;
  std::string copy;  // the safety copy
  std::string Work() const;
  std::string Backup() const;
  std::string Restored() const;
};

// One repair that ends with the rebuilt file in place, run by each platform's runner.
struct RepairScenario {
  const char* name;
  testsupport::DamageKind damage;
  // The database: a folder in the data folder ("" for none) and its name. The server itself
  // opens and writes the backup and the restored file, so such names must reach it whole.
  std::string folder;
  std::string fileName;
  // Where the rows are counted, whether they may have been lost: the row report box then
  // follows the success box.
  bool reportsLoss;
  std::vector<Platform> platforms;
};

void PrintTo(const RepairScenario& scenario, std::ostream* out);

const std::vector<RepairScenario>& RepairScenarios();
std::vector<RepairScenario> RepairScenariosOn(Platform platform);
// The safety copy's name as the save dialog offers it: "<name>_BACKUP.FDB".
std::string OfferedCopyName(const std::string& databaseFileName);

// The tables of the test database whose rows the repair reports.
const std::vector<std::string>& CountedTables();
// "Таблица X: *" for each counted table: its figures, whatever they are.
std::vector<std::string> TableFigurePatterns();

// The session log's records, in order.
std::vector<std::string> RecordsUpToBackup(const RepairFiles& files, RowCounting counting,
                                           Recheck recheck);
std::vector<std::string> RecordsThroughRestore(const RepairFiles& files, RowCounting counting,
                                               Recheck recheck);
// `figures`: the tables' records after the restore where rows are counted.
std::vector<std::string> RecordsUpToReplacement(
    const RepairFiles& files, RowCounting counting, Recheck recheck,
    const std::vector<std::string>& figures = TableFigurePatterns());
std::vector<std::string> SuccessRecords(
    const RepairFiles& files, RowCounting counting, Recheck recheck,
    const std::vector<std::string>& figures = TableFigurePatterns());
// A repair refused or stopped before its safety copy.
std::vector<std::string> RefusedRecords(const std::string& database, const std::string& message);
std::string FailureRecord(const std::string& message);
std::string RecheckDone();
// Records a repair with the real tools may or may not write, depending on the damage and what
// the mend left.
std::vector<std::string> RecheckOutcome();
std::string BackupUnfinishedRecord();

// The boxes and messages the operator sees; `sessionLog` and `serverLog` as the platform
// spells them.
BoxExpectation SuccessBox();
BoxExpectation RowLossBox();
// After the success box where no row could be counted (no client library under Wine).
BoxExpectation UncountedBox();
std::string InUseText();
std::string SelfCopyText();
std::string BackupFailedText(const std::string& sessionLog, const std::string& serverLog);
std::string RestoreFailedText(const std::string& sessionLog, const std::string& serverLog);
std::string NotProvenText(const RepairFiles& files, const std::string& sessionLog,
                          const std::string& serverLog);

}  // namespace scenarios
