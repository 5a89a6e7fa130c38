#include "app/Unit1.h"

#include <exception>

#include "app/FormStorage.h"
#include "app/MainFormLayout.h"
#include "check/CheckWorkflow.h"
#include "log/HuxLogger.h"
#include "log/SessionLog.h"
#include "os/Files.h"
#include "progress/ProgressViewer.h"
#include "repair/Leftovers.h"
#include "repair/RepairWorkflow.h"
#include "server/FBUtils.h"
#include "server/FbServiceClientLibrary.h"
#include "server/FixedPaths.h"
#include "server/ToolRunner.h"

TForm1::TForm1(MainWindowView& view, OperatorDialogs& dialogs) : view_(view), dialogs_(dialogs) {}

TForm1::~TForm1() {
  // A view destroyed without FormDestroy (start-up failed half-way) must not leave the
  // published reference dangling.
  if (log_)
    FormDestroy();
}

void TForm1::FormCreate() {
  ApplicationCaption = layout::kProgressHeading;
  // The log reports its own write failures, so a missing directory is not fatal here.
  os::ForceDirectories(os::ExtractFilePath(paths::SessionLogFile()));
  view_.SetActivePage(0);
  log_ = std::make_unique<THuxLogger>(paths::SessionLogFile());
  PublishSessionLog(log_.get());
  log_->Write("", llPlain);
  log_->Write(layout::kStartedRecord, llPlain);
  // Which server client a check uses depends on what the machine has: the log says which.
  fbclient::SetLoadReport([](const std::string& library) {
    if (THuxLogger* log = SessionLogOrNull())
      log->Write("Загружена клиентская библиотека сервера базы данных: " + library, llEvent);
  });
}

void TForm1::FormShow() {
  if (std::optional<std::string> stored = form_storage::LoadFileName())
    view_.SetFileName(*stored);
  // Only while no other copy works: its scripts and files are not leftovers.
  try {
    if (const std::unique_ptr<TWorkMutexHold> hold = TryHoldWorkMutex())
      CheckRepairLeftovers(dialogs_, view_.FileName());
  } catch (const std::exception& e) {
    if (log_)
      log_->Write(e.what(), llError);
  }
}

void TForm1::FormClose() {
  form_storage::StoreFileName(view_.FileName());
}

void TForm1::FormDestroy() {
  if (!log_)
    return;
  log_->Write(layout::kExitRecord, llPlain);
  PublishSessionLog(nullptr);
  log_.reset();
}

namespace {

// Another copy of the program checks or repairs right now: this one starts nothing.
void ShowBusyBox(OperatorDialogs& dialogs) {
  dialogs.ShowMessage(
      "Внимание!",
      "Проверка или ремонт базы данных уже выполняется другим экземпляром программы.\r\n"
      "Дождитесь его завершения и повторите попытку.",
      DialogButtons::Ok, DialogIcon::Warning);
}

}  // namespace

std::unique_ptr<TWorkMutexHold> TForm1::HoldWork() {
  if (lingeringHold_) {
    if (ToolsStillRunning()) {
      dialogs_.ShowMessage("Внимание!",
                           "Программа сервера, запущенная прерванной проверкой или ремонтом,\r\n"
                           "еще не завершила работу с базой данных.\r\n"
                           "Дождитесь ее завершения и повторите попытку.",
                           DialogButtons::Ok, DialogIcon::Warning);
      return nullptr;
    }
    return std::move(lingeringHold_);
  }
  std::unique_ptr<TWorkMutexHold> hold = TryHoldWorkMutex();
  if (!hold)
    ShowBusyBox(dialogs_);
  return hold;
}

void TForm1::RunUnderWorkLock(const std::function<void()>& workflow) {
  std::unique_ptr<TWorkMutexHold> hold = HoldWork();
  if (!hold)
    return;
  try {
    workflow();
  } catch (...) {
    if (ToolsStillRunning())
      lingeringHold_ = std::move(hold);
    throw;
  }
  if (ToolsStillRunning())
    lingeringHold_ = std::move(hold);
}

void TForm1::btnCheckDBClick() {
  RunUnderWorkLock([this] {
    WorkflowContext context{dialogs_, [this] { return view_.FileName(); }};
    CheckDatabase(context);
  });
}

void TForm1::btnRepairDBClick() {
  RunUnderWorkLock([this] {
    WorkflowContext context{dialogs_, [this] { return view_.FileName(); }};
    RepairDatabase(context);
  });
}

void TForm1::RunHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    dialogs_.ShowError(e.what());
  } catch (...) {
    dialogs_.ShowError("Неизвестная ошибка");
  }
}
