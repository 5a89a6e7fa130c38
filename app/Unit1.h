// TForm1: the main window's behaviour, apart from the toolkit that draws it. The platform view
// builds the components from MainFormLayout, owns a TForm1 and calls it at creation, opening,
// clicks, closing and destruction.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/MainWindowView.h"
#include "check/OperatorDialogs.h"

class THuxLogger;
class TWorkMutexHold;

class TForm1 {
 public:
  TForm1(MainWindowView& view, OperatorDialogs& dialogs);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Once, while the window is being created: progress heading, log directory, first tab,
  // session log with its first two records.
  void FormCreate();
  // When the window opens: FormStorage1 puts the stored file name back.
  void FormShow();
  // When the window closes: FormStorage1 keeps the file name as it stands.
  void FormClose();
  // Once, when the window is destroyed: the last record, then the log is freed.
  void FormDestroy();

  void btnCheckDBClick();
  void btnRepairDBClick();

  // Runs a click handler as the application runs every event: an error that leaves it is shown
  // by the standard error display, and the window goes on waiting for the next click.
  void RunHandler(const std::function<void()>& handler);
  void ClickCheck() {
    RunHandler([this] { btnCheckDBClick(); });
  }
  void ClickRepair() {
    RunHandler([this] { btnRepairDBClick(); });
  }

  // FilenameEdit1.FileName, read afresh at every call.
  std::string DatabaseFileName() const { return view_.FileName(); }
  OperatorDialogs& Dialogs() { return dialogs_; }

 private:
  // The work lock for a click, or nullptr after telling the operator why not.
  std::unique_ptr<TWorkMutexHold> HoldWork();
  // Runs a workflow under the work lock; a tool its cancel left running keeps the lock.
  void RunUnderWorkLock(const std::function<void()>& workflow);

  MainWindowView& view_;
  OperatorDialogs& dialogs_;
  std::unique_ptr<THuxLogger> log_;
  // Held on after a workflow while a tool it started still runs.
  std::unique_ptr<TWorkMutexHold> lingeringHold_;
};
