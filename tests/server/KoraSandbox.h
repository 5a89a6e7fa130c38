// A private copy of the program's fixed tree for one test: on Linux a fresh folder named by
// $KORA_ROOT, on Windows the real C:\KORA of the build's own Wine prefix, emptied first.
// Everything in it is removed afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class KoraSandbox {
 public:
  KoraSandbox();
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
};

// The stand-in library's file name as the build names it ("fbUtils" target and the variant
// without GetFBPort).
std::string BuiltSuiteLibrary();
std::string BuiltSuiteLibraryWithoutPort();

// Writes `content` to `path` as it stands (binary).
void WriteFileBytes(const std::string& path, const std::string& content);
// The names in the work directory that look like the runner's scripts.
std::vector<std::string> BatchFilesInWorkDirectory();

// A filesystem path from a UTF-8 string on both platforms.
std::filesystem::path FsPath(const std::string& utf8);
