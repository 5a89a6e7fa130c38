// VelmarDBRepair: start-up, the main window's life and shutdown, in the suite's order. The
// binding to the suite library comes first and refuses the start without it; every unit
// finishes in the reverse order of its start.
#include <exception>

#include "app/MainWindow.h"
#include "app/PlatformDialogs.h"
#include "log/HuxLogger.h"
#include "progress/ProgressViewer.h"
#include "server/FBUtils.h"
#include "server/FbServiceClientLibrary.h"

namespace {

void RunMainWindow(PlatformDialogs& dialogs) {
  MainWindow window(dialogs);
  window.Show();
  window.RunMessageLoop();
}

}  // namespace

int main() {
  // setlocale is not safe while other threads may read the locale: before any starts.
  fbclient::PrepareProcess();
  PlatformDialogs dialogs;
  try {
    // Without the library this shows the refusal box and ends the process with exit code 0.
    FBUtilsStartOrRefuse([&dialogs](const std::string& text, const std::string& caption) {
      dialogs.ShowMessage(caption, text, DialogButtons::Ok, DialogIcon::Error);
    });
  } catch (const std::exception& e) {
    // The instance mutex could not be made: start-up stops with that error.
    dialogs.ShowError(e.what());
    return 1;
  }
  HuxLoggerUnitInitialize();
  ProgressViewerUnitInitialize();
  int exitCode = 0;
  try {
    InitializeApplication();
    RunMainWindow(dialogs);
  } catch (const std::exception& e) {
    dialogs.ShowError(e.what());
    exitCode = 1;
  }
  ProgressViewerUnitFinalize();
  HuxLoggerUnitFinalize();
  FBUtilsFinalize();
  return exitCode;
}
