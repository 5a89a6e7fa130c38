#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

bool AnswerFits(DialogButtons buttons, DialogResult answer) {
  switch (buttons) {
    case DialogButtons::Ok:
      return answer == DialogResult::Ok;
    case DialogButtons::OkCancel:
      return answer == DialogResult::Ok || answer == DialogResult::Cancel;
    case DialogButtons::YesNo:
      return answer == DialogResult::Yes || answer == DialogResult::No;
  }
  return false;
}

std::string Describe(const RecordedBox& box) {
  std::ostringstream out;
  out << "box [" << box.caption << "] " << ToString(box.buttons) << ", icon " << ToString(box.icon)
      << ", default button " << box.defaultButton << ":\n"
      << box.text;
  return out.str();
}

std::string Describe(const SaveDialogSettings& s) {
  std::ostringstream out;
  out << "save dialog [" << s.title << "] filter " << s.filterName << " | " << s.filterPattern
      << ", ext " << s.defaultExt << ", folder " << s.initialDir << ", file " << s.fileName
      << (s.overwritePrompt ? ", asks before overwriting" : ", overwrites silently");
  return out.str();
}

const char* ToString(DialogKind kind) {
  switch (kind) {
    case DialogKind::Box:
      return "a message box";
    case DialogKind::Save:
      return "a save dialog";
    case DialogKind::Error:
      return "the error display";
  }
  return "?";
}

// Differences between a box and what the step expects; empty when it matches.
std::string Mismatch(const BoxExpectation& e, const RecordedBox& box) {
  std::ostringstream out;
  if (e.caption && *e.caption != box.caption)
    out << "\n  caption expected: " << *e.caption;
  if (e.text && *e.text != box.text)
    out << "\n  text expected: " << *e.text;
  if (e.textContains && box.text.find(*e.textContains) == std::string::npos)
    out << "\n  text expected to contain: " << *e.textContains;
  if (e.buttons && *e.buttons != box.buttons)
    out << "\n  buttons expected: " << ToString(*e.buttons);
  if (e.icon && *e.icon != box.icon)
    out << "\n  icon expected: " << ToString(*e.icon);
  if (e.defaultButton && *e.defaultButton != box.defaultButton)
    out << "\n  default button expected: " << *e.defaultButton;
  return out.str();
}

}  // namespace

const char* ToString(DialogButtons buttons) {
  switch (buttons) {
    case DialogButtons::Ok:
      return "OK";
    case DialogButtons::OkCancel:
      return "OK+Cancel";
    case DialogButtons::YesNo:
      return "Yes+No";
  }
  return "?";
}

const char* ToString(DialogIcon icon) {
  switch (icon) {
    case DialogIcon::None:
      return "none";
    case DialogIcon::Information:
      return "information";
    case DialogIcon::Warning:
      return "warning";
    case DialogIcon::Error:
      return "error";
  }
  return "?";
}

const char* ToString(DialogResult result) {
  switch (result) {
    case DialogResult::Ok:
      return "Ok";
    case DialogResult::Cancel:
      return "Cancel";
    case DialogResult::Yes:
      return "Yes";
    case DialogResult::No:
      return "No";
  }
  return "?";
}

ScriptedDialogs::~ScriptedDialogs() {
  std::lock_guard lock(mutex_);
  if (script_.empty())
    return;
  std::ostringstream out;
  out << script_.size() << " scripted dialog(s) never shown; the next one expected was "
      << ToString(script_.front().kind) << ". Shown so far:\n"
      << TranscriptLocked();
  ADD_FAILURE() << out.str();
}

ScriptedDialogs& ScriptedDialogs::Box(DialogResult answer, BoxExpectation expect,
                                      SideAction action) {
  std::lock_guard lock(mutex_);
  script_.push_back(Step{.kind = DialogKind::Box,
                         .boxAnswer = answer,
                         .expect = std::move(expect),
                         .action = std::move(action)});
  return *this;
}

ScriptedDialogs& ScriptedDialogs::Save(std::optional<std::string> path, SideAction action) {
  std::lock_guard lock(mutex_);
  script_.push_back(
      Step{.kind = DialogKind::Save, .savePath = std::move(path), .action = std::move(action)});
  return *this;
}

ScriptedDialogs& ScriptedDialogs::Error(std::string messageContains, SideAction action) {
  std::lock_guard lock(mutex_);
  script_.push_back(Step{.kind = DialogKind::Error,
                         .errorContains = std::move(messageContains),
                         .action = std::move(action)});
  return *this;
}

std::optional<ScriptedDialogs::Step> ScriptedDialogs::TakeStep(DialogKind kind,
                                                               const std::string& shown) {
  if (script_.empty()) {
    ADD_FAILURE() << "Unexpected " << ToString(kind) << ": the script has no more steps.\n"
                  << shown << "\nShown before it:\n"
                  << TranscriptLocked();
    return std::nullopt;
  }
  if (script_.front().kind != kind) {
    ADD_FAILURE() << "Unexpected " << ToString(kind) << ": the script expected "
                  << ToString(script_.front().kind) << ".\n"
                  << shown << "\nShown before it:\n"
                  << TranscriptLocked();
    // The expected step stays: a later dialog may still be the one it waits for.
    return std::nullopt;
  }
  Step step = std::move(script_.front());
  script_.pop_front();
  return step;
}

DialogResult ScriptedDialogs::ShowMessage(const std::string& caption, const std::string& text,
                                          DialogButtons buttons, DialogIcon icon,
                                          int defaultButton) {
  RecordedBox box{caption, text, buttons, icon, defaultButton, CloseAnswer(buttons)};
  SideAction action;
  {
    std::lock_guard lock(mutex_);
    if (std::optional<Step> step = TakeStep(DialogKind::Box, Describe(box))) {
      const std::string mismatch = Mismatch(step->expect, box);
      if (!mismatch.empty()) {
        ADD_FAILURE() << "The " << Describe(box) << "\ndiffers from the script:" << mismatch;
      } else if (!AnswerFits(buttons, step->boxAnswer)) {
        ADD_FAILURE() << "The script answers " << ToString(step->boxAnswer) << " to a "
                      << Describe(box) << "\nwhich has no such button.";
      } else {
        box.answer = step->boxAnswer;
      }
      action = std::move(step->action);
    }
    boxes_.push_back(box);
    events_.push_back({DialogKind::Box, boxes_.size() - 1});
  }
  if (action)
    action();
  return box.answer;
}

std::optional<std::string> ScriptedDialogs::ShowSaveDialog(const SaveDialogSettings& settings) {
  RecordedSave save{settings, std::nullopt};
  SideAction action;
  {
    std::lock_guard lock(mutex_);
    if (std::optional<Step> step = TakeStep(DialogKind::Save, Describe(settings))) {
      save.answer = step->savePath;
      action = std::move(step->action);
    }
    saves_.push_back(save);
    events_.push_back({DialogKind::Save, saves_.size() - 1});
  }
  if (action)
    action();
  return save.answer;
}

void ScriptedDialogs::ShowError(const std::string& message) {
  SideAction action;
  {
    std::lock_guard lock(mutex_);
    if (std::optional<Step> step = TakeStep(DialogKind::Error, "error display:\n" + message)) {
      if (message.find(step->errorContains) == std::string::npos) {
        ADD_FAILURE() << "The error display shows:\n"
                      << message << "\nbut the script expected a message containing:\n"
                      << step->errorContains;
      }
      action = std::move(step->action);
    }
    errors_.push_back(message);
    events_.push_back({DialogKind::Error, errors_.size() - 1});
  }
  if (action)
    action();
}

std::vector<RecordedBox> ScriptedDialogs::Boxes() const {
  std::lock_guard lock(mutex_);
  return boxes_;
}

std::vector<RecordedSave> ScriptedDialogs::SaveRequests() const {
  std::lock_guard lock(mutex_);
  return saves_;
}

std::vector<std::string> ScriptedDialogs::Errors() const {
  std::lock_guard lock(mutex_);
  return errors_;
}

std::vector<DialogEvent> ScriptedDialogs::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::size_t ScriptedDialogs::PendingSteps() const {
  std::lock_guard lock(mutex_);
  return script_.size();
}

std::string ScriptedDialogs::Transcript() const {
  std::lock_guard lock(mutex_);
  return TranscriptLocked();
}

std::string ScriptedDialogs::TranscriptLocked() const {
  std::ostringstream out;
  for (const DialogEvent& event : events_) {
    switch (event.kind) {
      case DialogKind::Box:
        out << Describe(boxes_[event.index]) << "\n  -> " << ToString(boxes_[event.index].answer);
        break;
      case DialogKind::Save:
        out << Describe(saves_[event.index].settings) << "\n  -> "
            << saves_[event.index].answer.value_or("(cancelled)");
        break;
      case DialogKind::Error:
        out << "error display:\n" << errors_[event.index];
        break;
    }
    out << "\n";
  }
  if (events_.empty())
    out << "(nothing)\n";
  return out.str();
}
