#include "check/ValidateDatabase.h"

#include "check/CheckMessages.h"
#include "check/Prerequisites.h"

#include <cstddef>
#include <optional>
#include <utility>

#include "os/CodePage.h"
#include "os/Files.h"
#include "server/FixedPaths.h"
#include "server/ServerFailures.h"
#include "server/ServerLogin.h"
#include "server/ToolCommands.h"
#include "server/ToolRunner.h"
#include "server/ToolScript.h"

namespace {

const char* const kInUsePhrase = "secondary server attachments cannot validate databases";
// The server never looked at the database: it refused the login (wrong password, no common
// authentication or wire encryption, a broken security database) or could not be reached.
const char* const kNotReachedPhrases[] = {
    "Your user name and password are not defined",
    "Error occurred during login",
    "Install incomplete, please read the Compatibility chapter",
    "Incompatible wire encryption levels requested on client and server",
    "Client attempted to attach unencrypted but wire encryption is required",
    "Client attempted to start wire encryption using",
    "connection rejected by remote interface",
    "Unable to complete network request",
};
// The connection broke while the server was at work: reading a damaged file may have brought
// it down, so this is not a refusal even when it also says "Unable to complete network request".
const char* const kConnectionLostPhrases[] = {
    "Error reading data from the connection",
    "Error writing data to the connection",
    "connection lost to database",
};

template <std::size_t N>
bool ContainsAny(const std::string& text, const char* const (&phrases)[N]) {
  for (const char* phrase : phrases)
    if (text.find(phrase) != std::string::npos)
      return true;
  return false;
}

bool IsBlank(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) > ' ')
      return false;
  return true;
}

// Deletes the tool log however the run ends; a tool left running by a cancel may keep it.
class ToolLogRemover {
 public:
  explicit ToolLogRemover(std::string path) : path_(std::move(path)) {}
  ~ToolLogRemover() { os::RemoveFile(path_); }
  ToolLogRemover(const ToolLogRemover&) = delete;
  ToolLogRemover& operator=(const ToolLogRemover&) = delete;

 private:
  std::string path_;
};

}  // namespace

std::string ValidationReport(const std::string& toolOutput) {
  std::string report;
  for (const std::string& line : SplitCommandLines(toolOutput))
    report += line + "\r\n";
  for (const auto& [phrase, heading] : checktext::kValidationHeadings) {
    const std::size_t at = report.find(phrase);
    if (at != std::string::npos)
      report.replace(at, std::string(phrase).size(), heading);
  }
  return report;
}

bool ToolSaysDatabaseInUse(const std::string& toolOutput) {
  return toolOutput.find(kInUsePhrase) != std::string::npos;
}

std::string DatabaseInUseMessage() {
  return checktext::kInUse;
}

void ValidateDatabase(const std::string& databaseFile) {
  const std::string gfix = paths::Gfix();
  RequireToolsDatabaseAndWorkFolder({gfix}, databaseFile);

  const ToolLogin login = LocalServerLogin();
  const std::string toolLog = paths::ToolLog();
  const std::string commandLine = ValidationCommand(gfix, login, databaseFile, toolLog);

  // gfix exits with 1 and, when it cannot log in, may write nothing; a log left from an
  // earlier run, or an empty one, must not then pass for a clean database.
  RemoveOldToolLog(toolLog);
  ToolLogRemover removeToolLog(toolLog);
  const std::optional<int> exitStatus =
      RunToolBatch(commandLine, checktext::kValidationCaption, LoginEnvironment(login));
  if (!os::FileExists(toolLog))
    throw Exception(ToolGaveNoResultMessage(gfix, exitStatus));
  const std::string output = os::AnsiToUtf8(os::ReadWholeFile(toolLog));
  if (IsBlank(output)) {
    if (exitStatus.value_or(0) != 0)
      throw Exception(ToolGaveNoResultMessage(gfix, exitStatus));
    return;
  }

  const std::string report = ValidationReport(output);
  if (ToolSaysDatabaseInUse(report))
    throw EDatabaseInUse(DatabaseInUseMessage());
  if (const auto failure = ServerFailureMessageFor(output, databaseFile, {}))
    throw Exception(*failure);
  if (!ContainsAny(report, kConnectionLostPhrases) && ContainsAny(report, kNotReachedPhrases))
    throw Exception(report);
  throw EDatabaseError(report);
}
