// What another program holds while a test runs (Windows build): a file open as a program
// that uses it holds it, a database attached by the host's isql.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "os/win/Wide.h"
#include "tests/support/FbTestServer.h"
#include "tests/support/HostProcess.h"
#include "tests/support/HostShell.h"
#include "tests/support/ToolRun.h"

namespace testsupport {

// A handle as another program holds a file it uses: others may read and write, not delete.
struct HeldFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool Hold(const std::string& path) {
    handle =
        CreateFileW(os::win::ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle != INVALID_HANDLE_VALUE;
  }
  ~HeldFile() {
    if (handle != INVALID_HANDLE_VALUE)
      CloseHandle(handle);
  }
};

// Another program attached to a database: the host's isql, fed by a shell loop that ends its
// input when the stop file appears, so that isql detaches and leaves. Should this test
// program die before it says stop, the loop gives up after the test's own time limit.
class HeldSession {
 public:
  // True once isql has answered a query through its attachment.
  bool Attach(const FbTestServer& server, const std::string& db) {
    base_ = "/tmp/velmar-held-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount());
    const std::string stop = ShellQuote(base_ + ".stop");
    const std::string feed =
        "(echo \"select 'VELMAR_HELD_READY' from rdb\\$database;\"; "
        "end=$(($(date +%s) + 300)); "
        "while [ ! -e " +
        stop + " ] && [ $(date +%s) -lt $end ]; do sleep 0.05; done)";
    const std::string isql = ShellQuote(IsqlPath()) + " -q -user SYSDBA -password " +
                             ShellQuote(server.password) + " " + ShellQuote(server.Address(db));
    process_ = HostProcess::Start(
        "/bin/sh",
        {"-c", feed + " | " + isql + " & echo $! >" + ShellQuote(base_ + ".pid") + "; wait"}, true);
    if (!process_)
      return false;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(20)) {
      const bool ended = process_->ExitStatus().has_value();
      output_ += process_->TakeOutput();
      if (output_.find("VELMAR_HELD_READY") != std::string::npos)
        return true;
      if (ended)
        return false;
    }
    return false;
  }

  // True when isql left by itself at the end of its input; otherwise it is killed.
  bool End() {
    if (!process_)
      return true;
    RunHost("touch " + ShellQuote(base_ + ".stop"));
    bool leftByItself = WaitForExit();
    if (!leftByItself) {
      RunHost("kill -9 $(cat " + ShellQuote(base_ + ".pid") + ")");
      WaitForExit();
    }
    output_ += process_->TakeOutput();
    process_.reset();
    RunHost("rm -f " + ShellQuote(base_ + ".stop") + " " + ShellQuote(base_ + ".pid"));
    return leftByItself;
  }

  ~HeldSession() { End(); }

  const std::string& Output() const { return output_; }

 private:
  bool WaitForExit() {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(20))
      if (process_->ExitStatus())
        return true;
    return false;
  }

  std::string base_;
  std::unique_ptr<HostProcess> process_;
  std::string output_;
};

}  // namespace testsupport
