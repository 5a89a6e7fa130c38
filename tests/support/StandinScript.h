// The script of the stand-in for the server's command-line tools (gfix, gbak), which tests
// put where the program expects the real tools when those cannot run (the Windows build
// under Wine). The same program serves every tool; it acts on the section of the script
// that matches its own name and arguments.
//
// Where the script comes from: the file named by $VELMAR_STANDIN_SCRIPT; else
// "<tool>.script" beside the program (gfix.script beside gfix.exe); else "standin.script"
// beside it. Every call is first recorded, as one line, in the file named by
// $VELMAR_STANDIN_LOG, else "standin-calls.log" beside the program: the tool name and each
// argument as it arrived, separated by tabs, in UTF-8.
//
// Script format (UTF-8, one instruction a line; blank lines and lines starting with '#' are
// skipped):
//   [gfix -v -full]   starts a section for tool "gfix" whose arguments include "-v" and
//                     "-full" (whole arguments, any case, any order). "*" stands for any
//                     tool. "#2" among the words limits the section to the tool's second
//                     call as counted in the calls log. The first matching section is used;
//                     no match writes "standin: no section matches" to the error stream and
//                     exits with 99.
//   out: <text>       writes the text and a line break to standard output
//   err: <text>       writes the text and a line break to the error stream
//   file: <path>      creates (or empties) the file; following "line:" instructions fill it
//   line: <text>      appends the text and a line break to the file of the last "file:"
//   copy: <from> | <to>   copies a file, replacing the target
//   delete: <path>    deletes a file if it is there
//   sleep: <ms>       waits
//   exit: <code>      the exit code (default 0); the section's actions all run first
//   encoding: utf8|ansi|oem   how "out:", "err:" and "line:" texts are written (ansi and oem
//                     are the system's code pages on Windows; both are UTF-8 elsewhere)
// Instructions run in the order written. Inside texts and paths:
//   {tab}             a tab character
//   {arg:N}           the N-th argument (1-based); {last} the last one
//   {arg:N:path} {last:path}   the same without a leading "host/port:" server prefix,
//                     e.g. "127.0.0.1/3050:C:\DB\A.FDB" gives "C:\DB\A.FDB"
//   {args}            all arguments joined by single spaces
#pragma once

#include <string>
#include <vector>

namespace standin {

enum class Encoding { Utf8, Ansi, Oem };

struct Action {
  enum class Kind { Out, Err, File, Copy, Delete, Sleep };
  Kind kind{};
  std::string text;                // Out, Err: the text; File, Delete, Copy: the (first) path
  std::string target;              // Copy: the target path
  std::vector<std::string> lines;  // File: its lines
  int milliseconds = 0;            // Sleep
};

struct Section {
  std::string tool;                // lower case; "*" for any
  std::vector<std::string> words;  // arguments that must be present
  int occurrence = 0;              // 0: any call; N: only the N-th call of the tool
  std::vector<Action> actions;
  int exitCode = 0;
  Encoding encoding = Encoding::Utf8;
};

struct Script {
  std::vector<Section> sections;
};

// Throws std::runtime_error naming the line of the first mistake.
Script ParseScript(const std::string& text);

// The section for the `occurrence`-th call of `tool` (lower case, no extension) with `args`;
// nullptr when none matches.
const Section* SelectSection(const Script& script, const std::string& tool,
                             const std::vector<std::string>& args, int occurrence);

// Replaces the {…} tokens; an argument that is not there expands to nothing.
std::string Expand(const std::string& text, const std::vector<std::string>& args);

// "gfix" from "C:\KORA\FIREBIRD\bin\GFIX.EXE" or "/x/bin/gfix".
std::string ToolName(const std::string& programPath);

// One line of the calls log (without its line break).
std::string CallRecord(const std::string& tool, const std::vector<std::string>& args);
// How many lines of the calls log `log` are calls of `tool`.
int CountCalls(const std::string& log, const std::string& tool);

}  // namespace standin
