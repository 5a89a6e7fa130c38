// What the repair may ask of the rebuild beyond the plain backup, restore and replacement.
#pragma once

#include <functional>
#include <string>

#include "os/Exception.h"

struct RebuildOptions {
  // gbak's -skip_data pattern: the rows of the matching tables are left out of the backup.
  // Empty: every row is backed up.
  std::string skipDataPattern;
  // Runs on the restored file once the restore is complete, before the validation proves it:
  // what it writes there is proven with the rest.
  std::function<void(const std::string& restoredFile)> afterRestore;
  // Runs on the restored file, after the restore succeeded and right before it takes the
  // database file's place.
  std::function<void(const std::string& restoredFile)> beforeReplacement;
  // Runs when the restore failed, while the backup and the tool log are still there; true when
  // it made the restored file complete after all.
  std::function<bool(const std::string& backupFile, const std::string& restoredFile)>
      afterFailedRestore;
  // The operator's safety copy, named when the rebuilt file cannot take the database's place.
  std::string safetyCopy;
  // Where the database sits while the repair works on it (its work name); the backup reads
  // it there and it is deleted once the rebuilt file has its path. Empty: at its own path.
  std::string workFile;
};

// The backup stopped before its end (gbak's end marker is missing): typically a table that
// cannot be read at all.
VELMAR_DECLARE_EXCEPTION(EBackupUnfinished, Exception);
// The rebuilt file could not take the database's place; the message tells the operator how
// to do it by hand.
VELMAR_DECLARE_EXCEPTION(EReplaceByHand, Exception);
