// What a workflow needs from the main window: the operator's dialogs and the database file
// name, read afresh from the file field at every use.
#pragma once

#include <functional>
#include <string>

#include "check/OperatorDialogs.h"

struct WorkflowContext {
  OperatorDialogs& dialogs;
  std::function<std::string()> databaseFile;
};
