// A small program the platform tests start as a separate process, through a script, to see
// how processes and the named mutex behave across process boundaries.
//
//   os_test_helper wait-then-touch <go-file> <marker-file>
//       waits (at most 30 s) until <go-file> exists, then creates <marker-file>.
//   os_test_helper hold-mutex <name> <ready-file> <go-file>
//       locks the named mutex, writes its process id into <ready-file>, holds the mutex until
//       <go-file> exists (at most 30 s), then unlocks it.
#include <cstdio>
#include <string>
#include <vector>

#include "os/CodePage.h"

#include "os/File.h"
#include "os/Files.h"
#include "os/NamedMutex.h"
#include "os/Process.h"
#include "os/Time.h"

namespace {

constexpr std::uint64_t kPatienceMs = 30000;

bool WaitForFile(const std::string& path) {
  const std::uint64_t deadline = os::MonotonicMs() + kPatienceMs;
  while (!os::FileExists(path)) {
    if (os::MonotonicMs() > deadline)
      return false;
    os::SleepMs(5);
  }
  return true;
}

bool WriteText(const std::string& path, const std::string& text) {
  // Written under another name and renamed, so the reader never sees half a file.
  const std::string partial = path + ".partial";
  auto file = os::File::Open(partial, os::File::Mode::CreateExclusive);
  if (!file)
    return false;
  file->Write(text.data(), text.size());
  file->Close();
  return os::RenameFile(partial, path);
}

}  // namespace

int main(int argc, char** argv) {
  // The runtime hands the arguments over in the ANSI code page (UTF-8 on POSIX).
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i)
    args.push_back(os::AnsiToUtf8(argv[i]));
  const std::string command = argc > 1 ? args[1] : "";
  if (command == "wait-then-touch" && argc == 4) {
    if (!WaitForFile(args[2]))
      return 2;
    return WriteText(args[3], "done") ? 0 : 3;
  }
  if (command == "hold-mutex" && argc == 5) {
    os::NamedMutex::Failure failure;
    auto mutex = os::NamedMutex::Create(args[2], &failure);
    if (!mutex)
      return 4;
    mutex->Lock();
    if (!WriteText(args[3], std::to_string(os::CurrentProcessId())))
      return 5;
    const bool released = WaitForFile(args[4]);
    mutex->Unlock();
    return released ? 0 : 6;
  }
  std::fprintf(stderr, "usage: os_test_helper wait-then-touch|hold-mutex ...\n");
  return 1;
}
