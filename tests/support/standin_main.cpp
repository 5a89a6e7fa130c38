// Stand-in for the server's command-line tools; see StandinScript.h for what it does and how
// it is scripted. Copied into the bin folder as gfix and gbak.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

#include "os/CodePage.h"
#include "os/Environment.h"
#include "os/File.h"
#include "os/Files.h"
#include "os/Time.h"
#include "tests/support/StandinArguments.h"
#include "tests/support/StandinScript.h"

using namespace standin;

namespace {

constexpr int kNoSection = 99;
constexpr int kBrokenScript = 98;

// Windows text files end their lines with CR LF, like the real tools' output there.
std::string LineBreak() {
  return os::PathDelimiter() == '\\' ? "\r\n" : "\n";
}

void AppendToFile(const std::string& path, const std::string& text) {
  auto file = os::File::Open(path, os::File::Mode::OpenReadWriteShared);
  if (!file)
    file = os::File::Open(path, os::File::Mode::CreateExclusive);
  if (!file)
    throw std::runtime_error("cannot open " + path);
  file->Seek(file->Size());
  file->Write(text.data(), text.size());
  file->Close();
}

void WriteNewFile(const std::string& path, const std::string& text) {
  auto file = os::File::Open(path, os::File::Mode::CreateExclusive);
  if (!file)
    throw std::runtime_error("cannot create " + path);
  file->Write(text.data(), text.size());
  file->Close();
}

std::string Encode(const std::string& text, Encoding encoding) {
  switch (encoding) {
    case Encoding::Ansi:
      return os::Utf8ToAnsi(text);
    case Encoding::Oem:
      return os::Utf8ToOem(text);
    case Encoding::Utf8:
      break;
  }
  return text;
}

// Standard streams are in text mode: "\n" becomes the platform's line break.
void WriteLine(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

std::string FindScript(const std::string& tool) {
  if (auto fromEnvironment = os::GetEnv("VELMAR_STANDIN_SCRIPT"))
    return *fromEnvironment;
  const std::string besideTool = os::ProgramDirectory() + tool + ".script";
  if (os::FileExists(besideTool))
    return besideTool;
  return os::ProgramDirectory() + "standin.script";
}

void Run(const Section& section, const std::vector<std::string>& args) {
  for (const Action& action : section.actions) {
    switch (action.kind) {
      case Action::Kind::Out:
        WriteLine(stdout, Encode(Expand(action.text, args), section.encoding));
        break;
      case Action::Kind::Err:
        WriteLine(stderr, Encode(Expand(action.text, args), section.encoding));
        break;
      case Action::Kind::File: {
        std::string content;
        for (const auto& line : action.lines) {
          content += Encode(Expand(line, args), section.encoding) + LineBreak();
        }
        WriteNewFile(Expand(action.text, args), content);
        break;
      }
      case Action::Kind::Copy: {
        const std::string target = Expand(action.target, args);
        os::RemoveFile(target);
        if (!os::CopyFileNoReplace(Expand(action.text, args), target)) {
          throw std::runtime_error("cannot copy to " + target);
        }
        break;
      }
      case Action::Kind::Delete:
        os::RemoveFile(Expand(action.text, args));
        break;
      case Action::Kind::Sleep:
        os::SleepMs(static_cast<std::uint32_t>(action.milliseconds));
        break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = Arguments(argc, argv);
  const std::string tool = ToolName(os::ProgramPath());
  try {
    const std::string log =
        os::GetEnv("VELMAR_STANDIN_LOG").value_or(os::ProgramDirectory() + "standin-calls.log");
    AppendToFile(log, CallRecord(tool, args) + "\n");
    const int occurrence = CountCalls(os::ReadWholeFile(log), tool);

    const std::string scriptPath = FindScript(tool);
    const Script script = ParseScript(os::ReadWholeFile(scriptPath));
    const Section* section = SelectSection(script, tool, args, occurrence);
    if (section == nullptr) {
      WriteLine(stderr,
                "standin: no section matches " + CallRecord(tool, args) + " in " + scriptPath);
      return kNoSection;
    }
    Run(*section, args);
    return section->exitCode;
  } catch (const std::exception& e) {
    WriteLine(stderr, std::string("standin: ") + e.what());
    return kBrokenScript;
  }
}
