// A progress window on a thread of its own. Public surface used by the rest of the program
// (the progress library completes this header with the full class):
//
//   auto* viewer = new TProgressViewer(caption, /*showPercent=*/false, /*canCancel=*/true);
//   try { ... viewer->SetString(10, text, 0, false, 0x008000, 1, 12, ""); viewer->CheckCancel(); }
//   catch (...) { viewer->Terminate(); throw; }
//   viewer->Terminate();   // the viewer frees itself on its own thread; never touch it again
//
//   viewer->Cancelled() / viewer->SetCancelled(false)
//   ProgressViewerUnitInitialize() / ProgressViewerUnitFinalize()   (start-up and shutdown)
//   ApplicationCaption                                               (heading of new viewers)
//   SetViewerCycleHook(fn): tests play the operator; fn runs on each viewer's own thread once
//                           per cycle and may call viewer.Cancel() as Esc would.
#pragma once

#include "os/Exception.h"

VELMAR_DECLARE_EXCEPTION(EProgressException, Exception);
VELMAR_DECLARE_EXCEPTION(EProgressCancelByUser, EProgressException);
