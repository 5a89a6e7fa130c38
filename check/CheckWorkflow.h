// The check behind the button "Проверить" (TForm1::btnCheckDBClick calls it).
#pragma once

#include "check/WorkflowContext.h"

// Runs the whole check. Errors it does not handle itself leave it for the application's
// standard error display.
void CheckDatabase(WorkflowContext& context);
