#include "tests/support/KoraSandbox.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "os/Environment.h"
#include "os/Files.h"
#include "server/FixedPaths.h"

namespace fs = std::filesystem;

namespace testsupport {

fs::path FsPath(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

bool OnWindows() {
  return os::PathDelimiter() == '\\';
}

namespace {

std::string FreshTempFolder() {
  std::random_device random;
  for (;;) {
    const std::string candidate = os::TempDirectory() + "velmar-kora-" + std::to_string(random());
    std::error_code error;
    if (fs::create_directory(FsPath(candidate), error))
      return candidate;
  }
}

}  // namespace

KoraSandbox::KoraSandbox() {
  // Windows ignores $KORA_ROOT: the tree is C:\KORA there.
  if (!OnWindows()) {
    oldRoot_ = os::GetEnv("KORA_ROOT");
    os::SetEnv("KORA_ROOT", FreshTempFolder());
  }
  root_ = paths::KoraRoot();
  // Each build has a Wine prefix of its own, so its C:\KORA belongs to these tests alone.
  std::error_code error;
  if (OnWindows())
    fs::remove_all(FsPath(root_), error);
  EXPECT_TRUE(os::ForceDirectories(root_)) << root_;
}

KoraSandbox::KoraSandbox(const std::string& root) : removeAtEnd_(false) {
  oldRoot_ = os::GetEnv("KORA_ROOT");
  os::SetEnv("KORA_ROOT", root);
  root_ = paths::KoraRoot();
}

KoraSandbox::~KoraSandbox() {
  if (removeAtEnd_) {
    std::error_code error;
    fs::remove_all(FsPath(root_), error);
  }
  if (!OnWindows())
    os::SetEnv("KORA_ROOT", oldRoot_.value_or(""));
}

void KoraSandbox::InstallSuiteLibrary(const std::string& builtFileName, const std::string& ini) {
  const std::string built = os::ProgramDirectory() + builtFileName;
  ASSERT_TRUE(os::FileExists(built)) << built;
  std::error_code error;
  fs::remove(FsPath(paths::SuiteLibrary()), error);
  fs::copy_file(FsPath(built), FsPath(paths::SuiteLibrary()), error);
  ASSERT_FALSE(error) << error.message();
  const std::string iniPath = os::ExtractFilePath(paths::SuiteLibrary()) + "fbUtils.ini";
  fs::remove(FsPath(iniPath), error);
  if (!ini.empty())
    WriteFileBytes(iniPath, ini);
}

void KoraSandbox::InstallProgram(const std::string& program, const std::string& target) {
  std::error_code error;
  ASSERT_TRUE(os::ForceDirectories(os::ExtractFileDir(target))) << target;
  fs::remove(FsPath(target), error);
  if (OnWindows())
    fs::copy_file(FsPath(program), FsPath(target), error);
  else
    fs::create_symlink(FsPath(program), FsPath(target), error);
  ASSERT_FALSE(error) << program << " -> " << target << ": " << error.message();
}

std::string SuiteLibraryIni(const std::string& password, int port) {
  return "[Common]\nPassword=" + password + "\nPort=" + std::to_string(port) + "\n";
}

std::string BuiltSuiteLibrary() {
  return OnWindows() ? "fbUtils.dll" : "libfbUtils.so";
}
std::string BuiltSuiteLibraryWithoutPort() {
  return OnWindows() ? "fbUtils_noport.dll" : "libfbUtils_noport.so";
}

void WriteFileBytes(const std::string& path, const std::string& content) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out << content;
  ASSERT_TRUE(out.good()) << path;
}

}  // namespace testsupport
