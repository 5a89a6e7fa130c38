// The Windows build's tests run the host's tools under Wine: through a host process, with
// drive paths among the arguments handed over as host paths.
#include <stdexcept>

#include "tests/support/HostPaths.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ToolRun.h"

namespace testsupport {

ToolResult RunTool(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> hostArgs;
  for (const std::string& arg : args)
    hostArgs.push_back(HostToolArgument(arg));
  std::unique_ptr<HostProcess> process = HostProcess::Start(program, hostArgs, false);
  if (!process)
    throw std::runtime_error("cannot start " + program);
  ToolResult result;
  for (;;) {
    const std::optional<int> status = process->ExitStatus();
    result.out += process->TakeOutput();
    result.err += process->TakeErrors();
    if (status) {
      result.exitCode = *status;
      return result;
    }
    Sleep(10);
  }
}

}  // namespace testsupport
