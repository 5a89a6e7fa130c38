#include "server/ToolRunner.h"

#include <memory>
#include <vector>

#include "os/CodePage.h"
#include "os/Exception.h"
#include "os/Files.h"
#include "os/Process.h"
#include "os/SystemError.h"
#include "progress/ProgressViewer.h"
#include "progress/ScopedProgressViewer.h"
#include "server/FixedPaths.h"
#include "server/ToolScript.h"

namespace {

// Numbers the scripts of this process; a new process starts again at 1 (its scripts carry its
// own id). Used only by the thread that runs the workflows.
int batchCounter = 0;

const unsigned kPollMs = 100;

// The tools a cancel left running; read and written by the workflows' thread only.
std::vector<std::unique_ptr<os::Process>>& AbandonedTools() {
  static auto* tools = new std::vector<std::unique_ptr<os::Process>>;
  return *tools;
}

// Starts the script and waits for it, polling the operator's cancel between waits.
std::optional<int> StartAndWait(const std::string& batchFile, TProgressViewer& viewer,
                                const os::EnvironmentVariables& environment) {
  std::unique_ptr<os::Process> process = os::Process::StartHiddenScript(batchFile, environment);
  if (!process)
    throw Exception("Ошибка при создании процесса: " + os::LastErrorText());
  // A cancel lets the tool run on hidden to its own end; it is kept to be asked about.
  try {
    while (!process->Wait(kPollMs))
      viewer.CheckCancel();
  } catch (...) {
    AbandonedTools().push_back(std::move(process));
    throw;
  }
  return process->ExitStatus();
}

// The tool would receive "?" in place of such characters: it would look at another file (or
// at none), and its complaint would read as damage. The password is not among them: it travels
// in the environment, which the tool reads in the system's code page, the one the suite's
// library gives it in.
void RefuseLostCharacters(const std::string& commandLine) {
  const std::string lost = os::CharactersOutsideCodePages(commandLine);
  if (!lost.empty()) {
    throw Exception(
        "Путь к файлу базы данных содержит символы, которые не могут быть переданы программам "
        "сервера: \"" +
        lost +
        "\"\r\nПереименуйте папки и файл базы данных так, чтобы в пути остались только русские "
        "и латинские буквы, цифры и знаки препинания.");
  }
}

}  // namespace

// One name on both platforms; on Linux the file is a /bin/sh script all the same. The command
// interpreter reads a batch file line by line as it goes: a tool a cancel left running, perhaps
// of a copy of the program that has ended since, comes back to its script when it ends, and must
// not find another run's commands there. So the name carries the process's id.
std::string ToolBatchFile(int number) {
  return paths::WorkDirectory() + "DBRepairBat" + std::to_string(os::CurrentProcessId()) + "-" +
         std::to_string(number) + ".bat";
}

bool ToolsStillRunning() {
  std::erase_if(AbandonedTools(), [](const std::unique_ptr<os::Process>& tool) {
    try {
      return tool->Wait(0);
    } catch (const std::exception&) {
      return true;  // a wait that fails cannot tell; it must not keep the lock for ever
    }
  });
  return !AbandonedTools().empty();
}

int ToolBatchCount() {
  return batchCounter;
}

std::optional<int> RunToolBatch(const std::string& commandLine, const std::string& caption,
                                const os::EnvironmentVariables& environment) {
  RefuseLostCharacters(commandLine);
  const std::string workDirectory = paths::WorkDirectory();
  if (!os::ForceDirectories(workDirectory))
    throw Exception("Не удалось создать временный каталог: " + workDirectory);
  // A script that has the name already (a process of the same id before this one) is left to
  // whatever may still read it.
  std::string batchFile = ToolBatchFile(++batchCounter);
  while (os::FileExists(batchFile))
    batchFile = ToolBatchFile(++batchCounter);
  WriteToolScript(batchFile, commandLine);
  std::optional<int> exitStatus;
  try {
    ScopedProgressViewer viewer(caption, /*showPercent=*/false, /*canCancel=*/true);
    exitStatus = StartAndWait(batchFile, *viewer, environment);
  } catch (...) {
    os::RemoveFile(batchFile);  // a cancelled tool may still read it: no waiting for it
    throw;
  }
  os::RemoveOwnFile(batchFile);
  return exitStatus;
}

void RemoveOldToolLog(const std::string& toolLog) {
  if (os::FileExists(toolLog) && !os::RemoveOwnFile(toolLog)) {
    throw Exception("Не удалось удалить файл \"" + toolLog +
                    "\", оставшийся от прошлого запуска программы сервера: " + os::LastErrorText());
  }
}

std::string ToolGaveNoResultMessage(const std::string& tool, std::optional<int> exitStatus) {
  return "Программа сервера \"" + os::ExtractFileName(tool) +
         "\" завершилась, не сообщив о результатах своей работы (код завершения: " +
         (exitStatus ? std::to_string(*exitStatus) : std::string("неизвестен")) +
         ").\r\nВероятно, она не смогла подключиться к серверу базы данных.";
}
