#include <memory>

#include "os/CodePage.h"
#include "os/Exception.h"
#include "os/File.h"
#include "os/Files.h"
#include "os/SystemError.h"
#include "server/ToolScript.h"

std::string ToolScriptContent(const std::string& commandLine) {
  // The command interpreter reads batch files in the console's code page.
  std::string content;
  for (const std::string& line : SplitCommandLines(os::Utf8ToOem(commandLine)))
    content += line + "\r\n";
  return content;
}

void WriteToolScript(const std::string& path, const std::string& commandLine) {
  const std::string content = ToolScriptContent(commandLine);
  // A leftover is removed first: one that is read-only or held open would otherwise be
  // opened and rewritten in place, or stop the run with a sharing error.
  os::RemoveOwnFile(path);
  std::unique_ptr<os::File> file = os::File::CreateOwn(path);
  if (!file) {
    const int code = os::LastErrorCode();
    throw EFileError("Не удалось создать файл \"" + path + "\": " + os::SystemErrorText(code),
                     code);
  }
  // A script left half written still holds the password: it goes whatever failed.
  try {
    file->Write(content.data(), content.size());
    file->Close();
  } catch (...) {
    file.reset();
    os::RemoveOwnFile(path);
    throw;
  }
}
