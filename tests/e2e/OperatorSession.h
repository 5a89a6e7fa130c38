// One run of the real program with an operator at the test display: the program started,
// its main window found, buttons and tabs clicked where the layout puts them, every box
// answered in the order it comes. Every box and progress window is photographed into the
// artifact folder, named after the test, and listed with its caption in <test>.txt there.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Desktop.h"

namespace e2e {

using namespace testsupport;

// Texts of the program that the operator reads.
inline constexpr const char* kMainCaption = "Программа для ремонта базы данных Velmar";
inline constexpr const char* kSaveDialogTitle = "Укажите файл для сохранения копии базы данных";

class OperatorSession {
 public:
  // `testName` names the artifacts; `environment` is added to the program's.
  OperatorSession(std::string testName, std::vector<std::string> environment);
  ~OperatorSession();
  OperatorSession(const OperatorSession&) = delete;
  OperatorSession& operator=(const OperatorSession&) = delete;

  // Starts the program; false when its main window did not open in time.
  bool Start(const std::string& programPath);
  // Starts the program without waiting for any window.
  bool Launch(const std::string& programPath);
  HostProgram& Program() { return *program_; }
  const std::string& MainWindow() const { return main_; }

  // The operator's clicks on the main window (positions of the 96-dpi layout).
  bool ClickCheck();
  bool ClickRepair();
  bool ShowCheckTab();
  bool ShowRepairTab();
  // Types a database file name over the file field's text.
  bool TypeFileName(const std::string& path);

  // The next window the program opens over its main window (a box or a dialog), photographed;
  // nullopt when none came within `timeoutMs`.
  std::optional<ScreenWindow> NextBox(int timeoutMs = 60000);
  // Presses the keys in the window and waits until it has gone.
  bool Answer(const ScreenWindow& box, const std::string& keys);
  // The captions of the boxes seen so far, in order.
  std::vector<std::string> Captions() const;
  // How many progress windows were seen so far.
  int ProgressWindowsSeen() const { return progressSeen_.load(); }

  // Closes the main window through the window manager; the program's exit code.
  std::optional<int> Close(int timeoutMs = 30000);

  // Prints what the operator does, with the seconds since the start, for reading failures.
  void Note(const std::string& what) const;

  // A picture of `windowId` into the artifacts as <nn>-<label>.png, listed with `what`.
  void Photograph(const std::string& windowId, const std::string& label, const std::string& what,
                  bool mayVanish = false);

 private:
  void WatchProgressWindows();

  std::string testName_;
  std::vector<std::string> environment_;
  std::string folder_;
  std::unique_ptr<HostProgram> program_;
  std::string main_;
  std::set<std::string> handled_;
  std::vector<std::string> captions_;
  std::atomic<int> shots_{0};
  std::atomic<int> progressSeen_{0};
  std::atomic<bool> stop_{false};
  std::mutex indexLock_;
  std::thread watcher_;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

}  // namespace e2e
