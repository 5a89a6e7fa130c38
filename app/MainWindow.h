// The main window on the platform the program runs on: TForm1 drawn with the toolkit's
// components, built from MainFormLayout. One implementation per platform (Win32, FLTK).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "app/MainFormLayout.h"
#include "app/PlatformDialogs.h"
#include "app/Unit1.h"

// Toolkit start-up that must precede any window (common controls, fonts, visual).
void InitializeApplication();

class MainWindow {
 public:
  // Creates the window and its components; FormCreate runs as part of this. The window owns
  // the boxes of `dialogs` while it exists when they are the platform's own.
  explicit MainWindow(OperatorDialogs& dialogs);
  // FormDestroy runs as part of this.
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Opens the window centred on the screen: the stored file name comes back, the first tab is
  // shown and btnCheckDB takes the keyboard focus.
  void Show();
  // Dispatches events until the window is closed; the file name is stored on closing.
  void RunMessageLoop();

  TForm1& Form();
  void* NativeHandle() const;  // HWND or Fl_Window*

  // What tests need to drive and inspect the real window.
  bool IsOpen() const;
  // Handles the events that arrive within `milliseconds`.
  void ProcessEvents(int milliseconds);
  // Closes the window as the window manager's close button does.
  void RequestClose();
  // The component that has the keyboard focus, by its name in the layout ("" if none).
  std::string FocusedControl() const;
  std::string ControlText(std::string_view name) const;
  void SetControlText(std::string_view name, const std::string& text);
  // Where the component lies in the window's client area, as the toolkit placed it.
  layout::Rect ControlBounds(std::string_view name) const;
  // How many pixels the component's text needs beyond its size, in the font it is drawn with:
  // width for one-line texts, height for word-wrapped ones. Zero or less when it fits.
  int TextOverflow(std::string_view name) const;
  // Presses a button as a click on it would.
  void ClickButton(std::string_view name);
  void SelectPage(int index);
  int ActivePage() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};
