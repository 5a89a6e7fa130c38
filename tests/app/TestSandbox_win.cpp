// The Windows build: fixed C:\KORA, settings in the registry.
#include <windows.h>

#include <filesystem>

#include "server/FixedPaths.h"
#include "tests/app/TestSandbox.h"

void TestSandbox::PointSettingsAt(const std::string&) {}

void TestSandbox::ClearRoot() {
  // Only what the program itself writes under C:\KORA belongs to these tests.
  std::error_code ignored;
  std::filesystem::remove(paths::SessionLogFile(), ignored);
}

void TestSandbox::ForgetStoredSettings() {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Norwin\\Velmar\\VelmarDBRepair");
}
