// The operator, played by a test: every box and save dialog the program shows is recorded and
// answered from a script written in advance. A box the script does not expect, or one whose
// caption, text, buttons or icon differ from what the script says, fails the running test with
// the full box in the message; the answer given then is the safe one (Cancel, No, no file).
// Steps left unanswered when the object is destroyed fail the test as well.
//
//   ScriptedDialogs dialogs;
//   dialogs.Box(DialogResult::Yes, {.textContains = "Продолжить?", .buttons =
//   DialogButtons::YesNo})
//       .Save("/tmp/copy.FDB")
//       .Box(DialogResult::Ok);
//   WorkflowContext context{dialogs, [&] { return databasePath; }};
//   RepairDatabase(context);
//   EXPECT_EQ(dialogs.Boxes()[0].icon, DialogIcon::Warning);
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "check/OperatorDialogs.h"

// What a box must look like to match a step; an empty field matches anything.
struct BoxExpectation {
  std::optional<std::string> caption{};       // whole caption
  std::optional<std::string> text{};          // whole text
  std::optional<std::string> textContains{};  // a part of the text
  std::optional<DialogButtons> buttons{};
  std::optional<DialogIcon> icon{};
  std::optional<int> defaultButton{};
};

struct RecordedBox {
  std::string caption;
  std::string text;
  DialogButtons buttons = DialogButtons::Ok;
  DialogIcon icon = DialogIcon::None;
  int defaultButton = 0;
  DialogResult answer = DialogResult::Cancel;
};

struct RecordedSave {
  SaveDialogSettings settings;
  std::optional<std::string> answer;
};

enum class DialogKind { Box, Save, Error };

// One shown dialog in the order of showing; `index` points into Boxes(), SaveRequests() or
// Errors() according to `kind`.
struct DialogEvent {
  DialogKind kind;
  std::size_t index;
};

class ScriptedDialogs : public OperatorDialogs {
 public:
  // Runs while the dialog is "open", before the answer is returned: the operator doing
  // something else meanwhile (deleting a file, changing the file field).
  using SideAction = std::function<void()>;

  ScriptedDialogs() = default;
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;
  ~ScriptedDialogs() override;

  // Script steps, answered in the order they are added.
  ScriptedDialogs& Box(DialogResult answer, BoxExpectation expect = {}, SideAction action = {});
  // Picks `path` in the next save dialog; std::nullopt cancels it.
  ScriptedDialogs& Save(std::optional<std::string> path, SideAction action = {});
  ScriptedDialogs& SaveCancelled() { return Save(std::nullopt); }
  // The application's standard error display, with a message containing `messageContains`.
  ScriptedDialogs& Error(std::string messageContains = {}, SideAction action = {});

  DialogResult ShowMessage(const std::string& caption, const std::string& text,
                           DialogButtons buttons, DialogIcon icon, int defaultButton = 0) override;
  std::optional<std::string> ShowSaveDialog(const SaveDialogSettings& settings) override;
  void ShowError(const std::string& message) override;

  // What was shown, in order.
  std::vector<RecordedBox> Boxes() const;
  std::vector<RecordedSave> SaveRequests() const;
  std::vector<std::string> Errors() const;
  std::vector<DialogEvent> Events() const;
  // Every shown dialog, one paragraph each: handy in failure messages.
  std::string Transcript() const;
  // Steps not answered yet.
  std::size_t PendingSteps() const;

 private:
  struct Step {
    DialogKind kind;
    DialogResult boxAnswer = DialogResult::Cancel;
    BoxExpectation expect{};
    std::optional<std::string> savePath{};
    std::string errorContains{};
    SideAction action{};
  };

  // Takes the next step if it is of `kind`; reports the mismatch otherwise.
  std::optional<Step> TakeStep(DialogKind kind, const std::string& shown);
  std::string TranscriptLocked() const;

  mutable std::mutex mutex_;
  std::deque<Step> script_;
  std::vector<RecordedBox> boxes_;
  std::vector<RecordedSave> saves_;
  std::vector<std::string> errors_;
  std::vector<DialogEvent> events_;
};

const char* ToString(DialogButtons buttons);
const char* ToString(DialogIcon icon);
const char* ToString(DialogResult result);
