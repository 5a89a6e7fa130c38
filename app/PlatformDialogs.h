// The operator's dialogs as the platform shows them: modal message boxes, the save dialog of
// the repair and the application's standard error display.
#pragma once

#include <optional>
#include <string>

#include "check/OperatorDialogs.h"

class PlatformDialogs : public OperatorDialogs {
 public:
  // The window the boxes belong to (HWND on Windows, Fl_Window* with FLTK); the boxes keep it
  // disabled while they are open. Before the main window exists there is none.
  void SetOwner(void* nativeWindow) { owner_ = nativeWindow; }
  void* Owner() const { return owner_; }

  DialogResult ShowMessage(const std::string& caption, const std::string& text,
                           DialogButtons buttons, DialogIcon icon, int defaultButton = 0) override;
  std::optional<std::string> ShowSaveDialog(const SaveDialogSettings& settings) override;
  void ShowError(const std::string& message) override;

 private:
  void* owner_ = nullptr;
};

// The answer of button `index` (0 = first) of a box.
DialogResult ButtonAnswer(DialogButtons buttons, int index);
// `folder` if it exists, else the nearest folder above it that does, else the program's own.
std::string NearestExistingFolder(const std::string& folder);
// The default extension without "*." or ".", as the dialogs append it ("*.FDB" -> "FDB").
std::string BareExtension(const std::string& defaultExt);
