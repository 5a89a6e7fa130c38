// The Wine runner: the real program of the Windows build worked by an operator at the test
// display. gfix and gbak at the suite's paths are bridges to the host's own tools, which work
// against the private test server; the databases are made and damaged by the damage kit
// inside the prefix's C:\KORA. The suite library is its stand-in, and the trial backup fails
// for want of a client library. Every test owns C:\KORA and the stored file name, and leaves
// neither behind. The scenarios both platforms play are in OperatorTest.cpp.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "os/Files.h"
#include "os/win/Wide.h"
#include "tests/e2e/OperatorFixture.h"
#include "tests/support/KoraSandbox.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;

namespace e2e {

namespace {

const std::string kKora = "C:\\KORA";

std::string BinFile(const std::string& name) {
  const char* bin = std::getenv("VELMAR_BIN_DIR");
  return LocalPath(std::string(bin ? bin : "") + "/" + name);
}

void CopyFile(const std::string& from, const std::string& to) {
  fs::copy_file(fs::path(os::win::ToWide(from)), fs::path(os::win::ToWide(to)));
}

}  // namespace

scenarios::Platform Operator::ThisPlatform() {
  return scenarios::Platform::Windows;
}

void Operator::PrepareDesk() {
  std::error_code ignored;
  fs::remove_all(fs::path(os::win::ToWide(kKora)), ignored);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Norwin\\Velmar\\VelmarDBRepair");
}

void Operator::LeaveDesk() {
  PrepareDesk();
}

void Operator::InstallSuite() {
  fs::create_directories(fs::path(os::win::ToWide(InSuite("FIREBIRD/bin"))));
  fs::create_directories(fs::path(os::win::ToWide(InSuite("DB"))));
  CopyFile(BinFile("fbUtils.dll"), InSuite("fbUtils.dll"));
  testsupport::PutFile(InSuite("fbUtils.ini"),
                       testsupport::SuiteLibraryIni(server_.password, server_.port));
  for (const char* tool : {"gfix.exe", "gbak.exe"})
    CopyFile(BinFile(std::string("hostbridge/") + tool),
             InSuite(std::string("FIREBIRD/bin/") + tool));
}

std::string Operator::InSuite(const std::string& relative) const {
  std::string path = kKora + (relative.empty() ? "" : "\\" + relative);
  std::ranges::replace(path, '/', '\\');
  return path;
}

std::string Operator::ProgramPath() const {
  return BinFile("VelmarDBRepair.exe");
}

std::vector<std::string> Operator::ProgramEnvironment() const {
  return {};
}

// The offered name in the offered folder.
std::string Operator::ChooseSafetyCopy() {
  SaveSafetyCopyAs("");
  return "C:\\Kora\\Backup\\FireBirdBase\\VELMAR_BACKUP.FDB";
}

namespace {

using WindowsOperator = Operator;

TEST_F(WindowsOperator, WithoutTheSuiteLibraryTheStartIsRefused) {
  ASSERT_TRUE(session_->Launch(ProgramPath()));
  const std::optional<std::string> text = ExpectBox("Ошибка!", "Return");
  EXPECT_EQ(text, "Модуль fbUtils.dll не загружен. В запуске приложения отказано!");
  EXPECT_EQ(session_->Program().Wait(30000), std::optional<int>(0));
  EXPECT_EQ(session_->Captions(), std::vector<std::string>{"Ошибка!"}) << "the main window opened";
  EXPECT_FALSE(os::FileExists(SessionLog())) << "the refused start wrote to the session log";
}

}  // namespace
}  // namespace e2e
