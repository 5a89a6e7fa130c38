// A private corner for one test: a scratch folder, the suite's root for this run and user
// settings nobody else wrote. On Linux the root and the settings live in the scratch folder
// ($KORA_ROOT, $HOME); the Windows build has the fixed C:\KORA and the registry of the test
// prefix, which the sandbox clears instead.
#pragma once

#include <string>
#include <vector>

class TestSandbox {
 public:
  TestSandbox();
  ~TestSandbox();
  TestSandbox(const TestSandbox&) = delete;
  TestSandbox& operator=(const TestSandbox&) = delete;

  const std::string& Scratch() const { return scratch_; }
  // Removes the stored file name of the program (registry value or preferences file).
  static void ForgetStoredSettings();

 private:
  static void PointSettingsAt(const std::string& scratch);
  static void ClearRoot();

  std::string scratch_;
};

std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);

// The session log's lines (written in the system's ANSI code page), without line breaks.
std::vector<std::string> LogLines();
bool EndsWith(const std::string& s, const std::string& tail);
