// The repair behind the button "Починить" (TForm1::btnRepairDBClick calls it).
#pragma once

#include "check/WorkflowContext.h"

// Runs the whole repair. Errors leave it, after its own log record, for the application's
// standard error display.
void RepairDatabase(WorkflowContext& context);
