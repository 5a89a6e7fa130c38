// A private copy of the program's fixed tree for one test: on Linux a folder named by
// $KORA_ROOT (a fresh temporary one unless the test names its own), on Windows the real
// C:\KORA of the build's own Wine prefix, emptied first. A temporary tree is removed
// afterwards; a named one is kept for looking into after a failure.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace testsupport {

class KoraSandbox {
 public:
  KoraSandbox();
  // Linux only: `root`, an existing folder, as $KORA_ROOT.
  explicit KoraSandbox(const std::string& root);
  ~KoraSandbox();
  KoraSandbox(const KoraSandbox&) = delete;
  KoraSandbox& operator=(const KoraSandbox&) = delete;

  const std::string& Root() const { return root_; }

  // Puts the suite library stand-in built as `builtFileName` (beside the test program) at
  // the library's fixed path, with `ini` as its fbUtils.ini (none when empty).
  void InstallSuiteLibrary(const std::string& builtFileName, const std::string& ini);
  // Links (Linux) or copies (Windows) `program` to `target` and makes it executable.
  void InstallProgram(const std::string& program, const std::string& target);

 private:
  std::string root_;
  bool removeAtEnd_ = true;
  std::optional<std::string> oldRoot_;
};

// The suite library's fbUtils.ini naming a server's password and port.
std::string SuiteLibraryIni(const std::string& password, int port);

// The stand-in library's file name as the build names it ("fbUtils" target and the variant
// without GetFBPort).
std::string BuiltSuiteLibrary();
std::string BuiltSuiteLibraryWithoutPort();

// Writes `content` to `path` as it stands (binary).
void WriteFileBytes(const std::string& path, const std::string& content);

// A filesystem path from a UTF-8 string on both platforms.
std::filesystem::path FsPath(const std::string& utf8);

bool OnWindows();

}  // namespace testsupport
