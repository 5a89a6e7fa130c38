#include "repair/RepairWorkflow.h"

#include <exception>
#include <memory>
#include <optional>

#include "check/Prerequisites.h"
#include "check/ValidateDatabase.h"
#include "log/SessionLog.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "os/Format.h"
#include "repair/EarlierRepair.h"
#include "repair/OutOfReach.h"
#include "repair/RebuildDatabase.h"
#include "repair/RepairMessages.h"
#include "repair/RepairRowCounts.h"
#include "repair/SafetyCopy.h"
#include "repair/TableSalvage.h"
#include "repair/ToolLogText.h"
#include "server/FixedPaths.h"
#include "server/ServerFailures.h"
#include "server/ServerLogin.h"
#include "server/ToolCommands.h"
#include "server/ToolRunner.h"

using sessionlog::Record;

using namespace repairtext;

namespace {

// Nothing is copied or run before every tool and the file are known to be there.
void CheckPrerequisites(const std::string& databaseFile) {
  RequireToolsDatabaseAndWorkFolder({paths::Gfix(), paths::Gbak()}, databaseFile);
  // The rebuild would delete such a file as its own leftover.
  if (NamesAScratchFile(databaseFile, databaseFile))
    throw Exception(Format(kDatabaseHasScratchName, {databaseFile}));
}

// gfix does nothing to a database another application has attached, and a rebuild of it
// would replace the file under that application's feet.
void StopIfInUse(const std::string& mendLog, const std::string& databaseFile) {
  if (!os::FileExists(mendLog))
    return;
  const std::string text = toollog::ReadAsText(mendLog);
  if (ToolSaysDatabaseInUse(text))
    throw EDatabaseInUse(kDatabaseInUse);
  // The mend did not reach the file (another server instance holds it, the server may not
  // open it or cannot see it): the rebuild would fail the same way, for the same reason.
  if (const auto failure = ServerFailureMessageFor(text, databaseFile, {}))
    throw Exception(*failure);
}

void Mend(const std::string& databaseFile) {
  const ToolLogin login = LocalServerLogin();
  const std::string command = MendCommand(paths::Gfix(), login, databaseFile, paths::ToolLog());
  Record(kMendStart);
  RemoveOldToolLog(paths::ToolLog());
  RunToolBatch(command, kMendCaption, LoginEnvironment(login));
  StopIfInUse(paths::ToolLog(), databaseFile);
  Record(kMendDone);
}

// Damage the mend could not mark is the rebuild's business, so whatever this finds (or
// fails to find, the operator's cancel included) does not stop the repair; only a database
// that another application has attached does.
void Recheck(const std::string& databaseFile) {
  try {
    Record(kRecheckStart);
    ValidateDatabase(databaseFile);
    Record(kRecheckDone);
  } catch (const EDatabaseInUse&) {
    throw EDatabaseInUse(kDatabaseInUse);
  } catch (const std::exception&) {
  }
}

// Going on would make a new safety copy of a file an earlier repair already mended.
void ConfirmAfterUnfinished(OperatorDialogs& dialogs,
                            const std::optional<UnfinishedRepair>& earlier) {
  if (!earlier)
    return;
  const DialogResult answer =
      dialogs.ShowMessage(kOldFileCaption, UnfinishedRepairQuestion(*earlier), DialogButtons::YesNo,
                          DialogIcon::Warning, /*defaultButton=*/1);
  if (answer != DialogResult::Yes)
    throw Exception(kUserAborted);
}

// Every ending but the replacement puts the database back at its own path; when even that
// fails, what to rename by hand matters more than the error that got here.
void PutBackAfter(TDatabaseOutOfReach* away) {
  if (away)
    away->PutBack();
}

}  // namespace

void RepairDatabase(WorkflowContext& context) {
  const std::string databaseFile = context.databaseFile();
  const std::optional<UnfinishedRepair> earlier = FindUnfinishedRepairInSessionLog(databaseFile);
  Record(kStart + databaseFile);
  std::unique_ptr<TDatabaseOutOfReach> away;
  RowReport rows;
  std::string safetyCopy;
  try {
    try {
      CheckPrerequisites(databaseFile);
      ConfirmAfterUnfinished(context.dialogs, earlier);
      const SafetyCopyChoice choice = ChooseSafetyCopy(context.dialogs, databaseFile);
      // From here to the replacement no other program can attach the database.
      away = std::make_unique<TDatabaseOutOfReach>(databaseFile);
      SaveSafetyCopy(choice, away->WorkFile());
      safetyCopy = choice.path;
      rows.SetBefore(CountRowsForRepair(away->WorkFile()));
      Mend(away->WorkFile());
      Recheck(away->WorkFile());
      RebuildSavingWhatCan(context.dialogs, databaseFile, away->WorkFile(), safetyCopy, rows);
      away->Settle();
    } catch (const EReplaceByHand&) {
      PutBackAfter(away.get());
      // Losses are never hidden behind the instructions.
      ReportRowLosses(context.dialogs, rows, databaseFile, safetyCopy);
      throw;
    } catch (...) {
      PutBackAfter(away.get());
      throw;
    }
    ReportRowLosses(context.dialogs, rows, databaseFile, safetyCopy);
    Record(kRepairDone);
  } catch (const Exception& e) {
    Record(kGuardPrefix + e.Message());
    throw;
  } catch (const std::exception& e) {
    Record(std::string(kGuardPrefix) + e.what());
    throw;
  }
}
