// What the platform tests need to do differently on each system: write a script that runs a
// program, and end or observe another process from outside.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostest {

// The full path of the helper program os_test_helper built beside the tests.
std::string HelperProgram();
// The file extension of a script StartHiddenScript runs (".sh" or ".bat").
std::string ScriptExtension();
// Writes a script at `path` that runs `program` once per entry of `runs`, one after another,
// each time with that entry's arguments (each quoted as one argument).
void WriteProgramScript(const std::string& path, const std::string& program,
                        const std::vector<std::vector<std::string>>& runs);
inline void WriteProgramScript(const std::string& path, const std::string& program,
                               const std::vector<std::string>& args) {
  WriteProgramScript(path, program, std::vector<std::vector<std::string>>{args});
}
// Ends the process at once, as a crash would (no clean-up in it).
void KillProcess(std::uint32_t pid);
// True while the process exists in any form (a zombie included on POSIX).
bool ProcessExists(std::uint32_t pid);

}  // namespace ostest
