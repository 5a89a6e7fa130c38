#include "tests/check/HeldAttachment.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "tests/support/ToolRun.h"

namespace checktest {

namespace {

constexpr char kReadyMark[] = "VELMAR_HELD_READY";

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0)
      throw std::runtime_error("cannot talk to isql");
    done += static_cast<std::size_t>(n);
  }
}

// Reads isql's output until the mark appears; false on time-out or end of output.
bool WaitForMark(int fd, int timeoutMs) {
  std::string seen;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (seen.find(kReadyMark) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
      return false;
    char buffer[512];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0)
      return false;
    seen.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

HeldAttachment::HeldAttachment(const testsupport::FbTestServer& server,
                               const std::string& databasePath, const std::string& statements) {
  int in[2];
  int out[2];
  if (pipe(in) != 0 || pipe(out) != 0)
    throw std::runtime_error("pipe failed");
  const std::string isql = testsupport::IsqlPath();
  const std::string address = server.Address(databasePath);
  pid_ = fork();
  if (pid_ < 0)
    throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(out[1], STDERR_FILENO);
    close(in[1]);
    close(out[0]);
    execl(isql.c_str(), isql.c_str(), "-q", "-user", "SYSDBA", "-password", server.password.c_str(),
          address.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  input_ = in[1];
  WriteAll(input_, statements + "\nselect '" + kReadyMark + "' from rdb$database;\n");
  output_ = out[0];
  const bool ready = WaitForMark(output_, 20000);
  if (!ready) {
    this->~HeldAttachment();
    throw std::runtime_error("isql did not attach to " + address);
  }
}

HeldAttachment::~HeldAttachment() {
  if (input_ >= 0) {
    // End of input makes isql detach and leave; a stuck one is killed.
    close(input_);
    input_ = -1;
  }
  if (pid_ > 0) {
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      usleep(50000);
    }
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }
  if (output_ >= 0) {
    close(output_);
    output_ = -1;
  }
}

}  // namespace checktest
