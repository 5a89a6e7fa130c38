// Linux: the suite's root and the user's settings live in the scratch folder.
#include <filesystem>

#include "os/Environment.h"
#include "os/Files.h"
#include "tests/app/TestSandbox.h"

void TestSandbox::PointSettingsAt(const std::string& scratch) {
  // GTK's file dialogs keep their recent files there.
  os::ForceDirectories(scratch + "/home/.local/share");
  os::ForceDirectories(scratch + "/root");
  os::SetEnv("HOME", scratch + "/home");
  os::SetEnv("KORA_ROOT", scratch + "/root");
}

void TestSandbox::ClearRoot() {}

void TestSandbox::ForgetStoredSettings() {
  const auto home = os::GetEnv("HOME");
  std::error_code ignored;
  if (home)
    std::filesystem::remove_all(*home + "/.fltk/Norwin", ignored);
}
