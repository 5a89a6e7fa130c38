// Finishing a rebuild whose restore stopped at keys and references that no longer hold (two
// rows with one primary key, rows referring to rows the mend had to drop): with the operator's
// consent, a missing referenced row gets a placeholder, and rows that cannot stay are set
// aside into a file a specialist can run back. Every index must end active.
#pragma once

#include <string>
#include <vector>

#include "check/OperatorDialogs.h"

struct KeyRepairPlan {
  struct Placeholders {
    std::string table;
    std::vector<std::string> keys;  // each key's values joined by ", "
  };
  struct SetAside {
    std::string table;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;  // SQL literals, as the file writes them
  };
  std::vector<Placeholders> placeholders;
  std::vector<SetAside> setAside;
  std::string file;  // where the set-aside rows were written
  bool applied = false;
  // Tables the operator has already agreed to fill with placeholders (tables rebuilt without
  // their rows): a mend that adds nothing but those asks no second question.
  std::vector<std::string> agreedPlaceholders;
};

// The rebuild's restore failed: when the tool log shows only keys and indexes that could not
// be activated, restores `backupFile` again into `restoredFile` with indexes inactive, mends
// the rows with the operator's consent and activates every index that was active in
// `databaseFile`. True when `restoredFile` is then complete; false leaves the failure as it
// was (the operator said No, or the damage is of another kind). Throws Exception when the
// mend was agreed but failed (the rebuilt file stays for a specialist).
bool MendKeysOfRebuild(OperatorDialogs& dialogs, const std::string& databaseFile,
                       const std::string& backupFile, const std::string& restoredFile,
                       const std::string& safetyCopy, KeyRepairPlan& plan);

// Those of `tables` whose rows rows of other tables (not in `tables`) refer to, by foreign
// keys of `databaseFile`. Throws EFirebirdError when the database cannot be asked.
std::vector<std::string> ReferredTables(const std::string& databaseFile,
                                        const std::vector<std::string>& tables);

// After the replacement: the box that names the placeholders and set-aside rows.
void ReportKeyRepair(OperatorDialogs& dialogs, const KeyRepairPlan& plan);

namespace keyrepair {

// The restore's log shows a failure of keys or indexes alone.
bool OnlyKeysFailed(const std::string& toolLogText);
// The file beside the safety copy.
std::string SetAsideFilePath(const std::string& safetyCopy);
// "Восстановлено при ремонте" cut to `characters` (UTF-8 letters, not bytes).
std::string MarkerText(int characters);
// UTF-8 INSERT statements with column names, one a line, after a comment header.
std::string SetAsideFileText(const KeyRepairPlan& plan, const std::string& timeStamp);

}  // namespace keyrepair
