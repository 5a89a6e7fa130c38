#include "tests/e2e/OperatorSession.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>

namespace e2e {

namespace {

// Where the layout puts things, in the main window's client area: the page control starts
// at 48 with a 24-pixel tab strip and a 4-pixel frame; the first tab is at most 80 wide.
constexpr int kTabStripY = 48 + 12;
constexpr int kCheckTabX = 40;
constexpr int kRepairTabX = 110;
constexpr int kSheetLeft = 0 + 4;
constexpr int kSheetTop = 48 + 24;

// btnCheckDB 184, 256; 201 x 41 and btnRepairDB 184, 254; 200 x 40, clicked in their middle.
constexpr int kCheckButtonX = kSheetLeft + 184 + 100;
constexpr int kCheckButtonY = kSheetTop + 256 + 20;
constexpr int kRepairButtonX = kSheetLeft + 184 + 100;
constexpr int kRepairButtonY = kSheetTop + 254 + 20;

std::string Listing() {
  std::string out;
  for (const ScreenWindow& w : TitledWindows())
    out += " [" + w.id + " \"" + w.title + "\"]";
  return out;
}

// Wine may show the hidden console of a tool's batch file for a moment, titled with the batch
// file's path; it is no box of the program (Windows itself keeps that console hidden).
bool IsToolConsole(const ScreenWindow& w) {
  const std::string suffix = ".bat";
  return w.title.size() >= suffix.size() &&
         w.title.compare(w.title.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IsProgramWindow(const ScreenWindow& w) {
  return w.title != kMainCaption && w.title != "ProgressWnd" && w.title != "Openbox" &&
         !IsToolConsole(w);
}

}  // namespace

OperatorSession::OperatorSession(std::string testName, std::vector<std::string> environment)
    : testName_(std::string(PlatformName()) + "-" + std::move(testName)),
      environment_(std::move(environment)),
      folder_(ArtifactFolder()) {
  RunHost("rm -f " + ShellQuote(folder_) + "/" + ShellQuote(testName_) + "-*.png " +
          ShellQuote(folder_ + "/" + testName_ + ".txt"));
}

OperatorSession::~OperatorSession() {
  stop_ = true;
  if (watcher_.joinable())
    watcher_.join();
  if (program_)
    program_->Kill();
}

bool OperatorSession::Launch(const std::string& programPath) {
  // Windows left over from an earlier program are not this one's boxes.
  for (const ScreenWindow& w : TitledWindows())
    handled_.insert(w.id);
  Note("start " + programPath);
  program_ = HostProgram::Start(programPath, environment_);
  if (!program_)
    return false;
  watcher_ = std::thread([this] { WatchProgressWindows(); });
  return true;
}

bool OperatorSession::Start(const std::string& programPath) {
  if (!Launch(programPath))
    return false;
  const bool opened = PollUntil(60000, [&] {
    for (const ScreenWindow& w : TitledWindows()) {
      if (w.title == kMainCaption && !handled_.count(w.id)) {
        main_ = w.id;
        return true;
      }
    }
    return false;
  });
  if (!opened) {
    Note("no main window; on the screen: " + Listing());
    return false;
  }
  Note("main window " + main_);
  // The first click must not come before the window takes input: it is active first.
  const bool active = PollUntil(10000, [&] {
    RunHost("xdotool windowactivate --sync " + main_ + " 2>/dev/null");
    return ActiveWindow() == main_;
  });
  Note(active ? "main window active" : "the main window did not become active");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Photograph(main_, "main", kMainCaption);
  return true;
}

bool OperatorSession::ClickCheck() {
  Note("click Check");
  return ClickAt(main_, kCheckButtonX, kCheckButtonY);
}

bool OperatorSession::ClickRepair() {
  Note("click Repair");
  return ClickAt(main_, kRepairButtonX, kRepairButtonY);
}

bool OperatorSession::ShowCheckTab() {
  return ClickAt(main_, kCheckTabX, kTabStripY);
}

bool OperatorSession::TypeFileName(const std::string& path) {
  Note("type the file name " + path);
  // FilenameEdit1 4, 19; 445 x 24, clicked left of its browse button.
  return ClickAt(main_, 200, 19 + 12) && PressKeys(main_, "ctrl+a") && TypeText(main_, path);
}

bool OperatorSession::ShowRepairTab() {
  return ClickAt(main_, kRepairTabX, kTabStripY);
}

std::optional<ScreenWindow> OperatorSession::NextBox(int timeoutMs) {
  std::optional<ScreenWindow> found;
  PollUntil(timeoutMs, [&] {
    for (const ScreenWindow& w : TitledWindows()) {
      if (IsProgramWindow(w) && !handled_.count(w.id)) {
        found = w;
        return true;
      }
    }
    return false;
  });
  Note(found ? "box " + found->id + " \"" + found->title + "\""
             : "no box; on the screen: " + Listing());
  if (!found)
    return std::nullopt;
  handled_.insert(found->id);
  captions_.push_back(found->title);
  // The picture waits for the box to be drawn: a mapped window paints on its first expose.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  Photograph(found->id, "box", found->title);
  return found;
}

bool OperatorSession::Answer(const ScreenWindow& box, const std::string& keys) {
  Note("answer \"" + box.title + "\" with " + keys);
  if (!PressKeys(box.id, keys))
    return false;
  const bool gone = PollUntil(15000, [&] { return !IsVisible(box.id); });
  Note(gone ? "box gone" : "box stayed");
  return gone;
}

std::vector<std::string> OperatorSession::Captions() const {
  return captions_;
}

std::optional<int> OperatorSession::Close(int timeoutMs) {
  if (!program_)
    return std::nullopt;
  if (!main_.empty())
    PressKeys(main_, "alt+F4");
  std::optional<int> code = program_->Wait(timeoutMs);
  stop_ = true;
  if (watcher_.joinable())
    watcher_.join();
  return code;
}

void OperatorSession::Note(const std::string& what) const {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - started_)
                      .count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%7.2f s] ", double(ms) / 1000.0);
  std::cout << stamp << what << std::endl;
}

void OperatorSession::Photograph(const std::string& windowId, const std::string& label,
                                 const std::string& what, bool mayVanish) {
  char number[8];
  std::snprintf(number, sizeof number, "%02d", ++shots_);
  const std::string file = testName_ + "-" + number + "-" + label + ".png";
  const std::string path = folder_ + "/" + file;
  const bool saved = mayVanish ? SaveScreenArea(windowId, path) : SaveScreenshot(windowId, path);
  Note("picture " + file + (saved ? "" : " failed"));
  std::lock_guard<std::mutex> lock(indexLock_);
  std::ofstream index(LocalPath(folder_ + "/" + testName_ + ".txt"), std::ios::app);
  index << file << "\t" << what << (saved ? "" : "\t(no picture: the window had gone)") << "\n";
}

void OperatorSession::WatchProgressWindows() {
  std::set<std::string> seen;
  while (!stop_) {
    for (const std::string& id : ProgressWindows()) {
      if (seen.insert(id).second) {
        ++progressSeen_;
        Note("progress window " + id);
        Photograph(id, "progress", "progress window " + id, true);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace e2e
