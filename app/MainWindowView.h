// What the portable TForm1 needs from the window the toolkit draws: the state of the
// components it reads and sets. One implementation per platform (Win32, FLTK).
#pragma once

#include <string>

class MainWindowView {
 public:
  virtual ~MainWindowView() = default;

  // FilenameEdit1: the text as typed or picked, never checked.
  virtual std::string FileName() const = 0;
  virtual void SetFileName(const std::string& fileName) = 0;
  // PageControl1: 0 is "1. Проверка", 1 is "2. Ремонт".
  virtual int ActivePage() const = 0;
  virtual void SetActivePage(int index) = 0;
};
