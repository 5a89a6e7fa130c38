// How the workflows talk to the operator: message boxes and the save dialog. The main
// window implements it per platform; tests use a scripted implementation.
#pragma once

#include <optional>
#include <string>

enum class DialogButtons { Ok, OkCancel, YesNo };
enum class DialogIcon { None, Information, Warning, Error };
enum class DialogResult { Ok, Cancel, Yes, No };

// What closing a box without pressing a button answers: the cautious choice.
inline DialogResult CloseAnswer(DialogButtons buttons) {
  switch (buttons) {
    case DialogButtons::Ok:
      return DialogResult::Ok;
    case DialogButtons::OkCancel:
      return DialogResult::Cancel;
    case DialogButtons::YesNo:
      return DialogResult::No;
  }
  return DialogResult::Cancel;
}

struct SaveDialogSettings {
  std::string title;  // "Укажите файл для сохранения копии базы данных"
  std::string filterName;     // "База данных (*.FDB)"
  std::string filterPattern;  // "*.FDB"
  std::string defaultExt;     // "*.FDB"
  std::string initialDir;
  std::string fileName;
  bool overwritePrompt = true;  // ask before overwriting an existing file
};

class OperatorDialogs {
 public:
  virtual ~OperatorDialogs() = default;
  // A modal box; closing it without a button counts as Cancel (or No for Yes/No).
  // `defaultButton` is 0 for the first button, 1 for the second.
  virtual DialogResult ShowMessage(const std::string& caption, const std::string& text,
                                   DialogButtons buttons, DialogIcon icon,
                                   int defaultButton = 0) = 0;
  // The chosen path, or nothing when the operator cancelled.
  virtual std::optional<std::string> ShowSaveDialog(const SaveDialogSettings& settings) = 0;
  // The application's standard error display: the message, an error icon and OK.
  virtual void ShowError(const std::string& message) = 0;
};
