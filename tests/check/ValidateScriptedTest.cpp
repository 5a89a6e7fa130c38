// The validation with a scripted stand-in at the tool's fixed path: what the tool is given,
// how its output becomes the answer, the order of the checks and the clean-up. Runs on both
// platforms (on Windows the real tool cannot run under Wine).
#include <gtest/gtest.h>

#include "check/ValidateDatabase.h"
#include "os/Environment.h"
#include "os/Files.h"
#include "os/Time.h"
#include "progress/ProgressViewer.h"
#include "server/FBUtils.h"
#include "server/FixedPaths.h"
#include "server/ServerFailures.h"
#include "server/ToolRunner.h"
#include "tests/server/KoraSandbox.h"
#include "tests/server/RunnerTestEnvironment.h"
#include "tests/server/ServerTestTools.h"

namespace {

const char* const kInUse =
    "Невозможно выполнить проверку базы данных, т.к. в данный момент база данных используется "
    "другим приложением";

class ScriptedValidation : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetEchoToolSettings();
    scratch = sandbox.Root() + os::PathDelimiter() + "scratch" + os::PathDelimiter();
    ASSERT_TRUE(os::ForceDirectories(scratch));
    os::SetEnv("VELMAR_ECHO_TEXT", scratch + "output.txt");
    os::SetEnv("VELMAR_ECHO_ARGS", scratch + "args.txt");
    sandbox.InstallSuiteLibrary(BuiltSuiteLibrary(), "[Common]\nPassword=pw%1x\nPort=31999\n");
    ASSERT_TRUE(FBUtilsInitialize());
    sandbox.InstallProgram(EchoToolPath(), paths::Gfix());
    database = paths::DefaultDatabase();
    ASSERT_TRUE(os::ForceDirectories(os::ExtractFileDir(database)));
    WriteFileBytes(database, "stands for a database");
  }
  void TearDown() override { FBUtilsFinalize(); }

  // What the stand-in prints when it runs.
  void ToolPrints(const std::string& output) { WriteFileBytes(scratch + "output.txt", output); }

  // Runs the validation and returns the error it raised: its class and message.
  std::pair<std::string, std::string> Failure() {
    try {
      ValidateDatabase(database);
    } catch (const Exception& e) {
      return {e.ClassName(), e.Message()};
    }
    return {"", ""};
  }

  KoraSandbox sandbox;
  std::string scratch;
  std::string database;
};

TEST_F(ScriptedValidation, BlankOutputIsNoDamageAndTheToolGetsItsArguments) {
  ToolPrints(" \r\n\t\n   \n");
  EXPECT_NO_THROW(ValidateDatabase(database));
  EXPECT_EQ(FileLines(scratch + "args.txt"),
            (std::vector<std::string>{"-v", "-full", "127.0.0.1/31999:" + database}));
  EXPECT_FALSE(os::FileExists(paths::ToolLog()));
  EXPECT_TRUE(BatchFilesInWorkDirectory().empty());
}

TEST_F(ScriptedValidation, DamageIsReportedWithRussianHeadings) {
  ToolPrints(
      "Summary of validation errors\n\n\tNumber of record level errors\t: 2\n"
      "\tNumber of data page errors\t: 1\nNumber of data page errors\n");
  const auto [className, message] = Failure();
  EXPECT_EQ(className, "EDatabaseError");
  EXPECT_EQ(message,
            "При проверке выявлены следующие ошибки:\r\n\r\n\tКол-во ошибок в записях\t: 2\r\n"
            "\tКол-во ошибок на страницах с данными\t: 1\r\nNumber of data page errors\r\n");
  EXPECT_FALSE(os::FileExists(paths::ToolLog()));
  EXPECT_TRUE(BatchFilesInWorkDirectory().empty());
}

TEST_F(ScriptedValidation, AFileThatIsNoDatabaseIsDamage) {
  ToolPrints("database " + database + " shutdown\nfile " + database + " is not a valid database\n");
  const auto [className, message] = Failure();
  EXPECT_EQ(className, "EDatabaseError");
  EXPECT_NE(message.find(database + " не является файлом базы данных"), std::string::npos)
      << message;
}

TEST_F(ScriptedValidation, AnAttachmentElsewhereIsAPlainErrorEvenWithDamageCounts) {
  ToolPrints(
      "Summary of validation errors\n\tNumber of data page errors\t: 1\n"
      "secondary server attachments cannot validate databases\n");
  EXPECT_EQ(Failure(), std::make_pair(std::string("EDatabaseInUse"), std::string(kInUse)));
}

// Firebird 3's answers as gfix prints them. A refused login or an unreachable server means
// the database was never looked at: a plain error with the tool's text. A connection that
// broke while the server worked may be the damage itself: the report, as for damage.
TEST_F(ScriptedValidation, RefusalsArePlainErrorsAndALostConnectionIsDamage) {
  const std::pair<const char*, const char*> answers[] = {
      {"Your user name and password are not defined. Ask your database administrator to set up "
       "a Firebird login.\n",
       "Exception"},
      {"Error occurred during login, please check server firebird.log for details\n", "Exception"},
      {"Install incomplete, please read the Compatibility chapter in the release notes for this "
       "version\n",
       "Exception"},
      {"Incompatible wire encryption levels requested on client and server\n", "Exception"},
      {"Client attempted to attach unencrypted but wire encryption is required\n", "Exception"},
      {"connection rejected by remote interface\n", "Exception"},
      {"Unable to complete network request to host \"127.0.0.1\".\n"
       "-Failed to establish a connection.\n",
       "Exception"},
      {"Unable to complete network request to host \"127.0.0.1\".\n"
       "-Error reading data from the connection.\n"
       "-An existing connection was forcibly closed by the remote host.\n",
       "EDatabaseError"},
      {"Error reading data from the connection.\n", "EDatabaseError"},
      {"Unable to complete network request to host \"127.0.0.1\".\n"
       "-Error writing data to the connection.\n",
       "EDatabaseError"},
      {"connection lost to database\n", "EDatabaseError"},
  };
  for (const auto& [answer, className] : answers) {
    SCOPED_TRACE(answer);
    ToolPrints(answer);
    EXPECT_EQ(Failure(), std::make_pair(std::string(className), ValidationReport(answer)));
  }
}

// Answers about the database's surroundings (recorded: another engine instance, a forbidden
// folder, a stopped server and a drive the server cannot see cannot be staged here) are plain
// errors with their own message, never damage.
TEST_F(ScriptedValidation, TheServersSurroundingsAreNamedNotTakenForDamage) {
  const std::pair<const char*, ServerFailure> answers[] = {
      {"Database is probably already opened by another engine instance in another Windows "
       "session\n",
       ServerFailure::OtherEngineInstance},
      {"Access to database \"C:\\X\\VELMAR.FDB\" is denied by server administrator\n",
       ServerFailure::AccessDenied},
      {"connection shutdown\n", ServerFailure::ServerStopped},
      {"I/O error during \"CreateFile (open)\" operation for file \"Z:\\VELMAR.FDB\"\n"
       "-Error while trying to open file\n-The system cannot find the path specified.\n",
       ServerFailure::FileNotVisible},
      {"I/O error during \"write\" operation for file \"X\"\n-Error while trying to write to "
       "file\n-No space left on device\n",
       ServerFailure::DiskFull},
  };
  for (const auto& [answer, failure] : answers) {
    SCOPED_TRACE(answer);
    ToolPrints(answer);
    EXPECT_EQ(Failure(),
              std::make_pair(std::string("Exception"), ServerFailureMessage(failure, database)));
  }
}

TEST_F(ScriptedValidation, APathTheBatchFileCannotCarryIsRefusedBeforeTheToolRuns) {
  if (!OnWindows())
    GTEST_SKIP() << "every character reaches the tools here";
  // Neither the console's code page (866) nor the system's (1251) has these letters.
  database = paths::KoraRoot() + "\\DB\\Ωmega ẞ\\VELMAR.FDB";
  ASSERT_TRUE(os::ForceDirectories(os::ExtractFileDir(database)));
  WriteFileBytes(database, "stands for a database");
  ToolPrints("Summary of validation errors\n");
  const int runs = ToolBatchCount();
  const auto [className, message] = Failure();
  EXPECT_EQ(className, "Exception");
  EXPECT_EQ(message,
            "Путь к файлу базы данных содержит символы, которые не могут быть переданы программам "
            "сервера: \"Ωẞ\"\r\nПереименуйте папки и файл базы данных так, чтобы в пути остались "
            "только русские и латинские буквы, цифры и знаки препинания.");
  EXPECT_EQ(ToolBatchCount(), runs) << "a tool ran";
  EXPECT_FALSE(os::FileExists(scratch + "args.txt"));
  os::RemoveFile(database);
}

TEST_F(ScriptedValidation, AToolThatFailsWithoutALogIsNeverAClean) {
  const std::string noResult = "Программа сервера \"" + os::ExtractFileName(paths::Gfix()) +
                               "\" завершилась, не сообщив о результатах своей работы (код "
                               "завершения: ";
  // An empty log and a failing exit status.
  os::SetEnv("VELMAR_ECHO_QUIET", "1");
  os::SetEnv("VELMAR_ECHO_EXIT", "1");
  EXPECT_EQ(Failure(), std::make_pair(std::string("Exception"),
                                      noResult + "1).\r\nВероятно, она не смогла подключиться к "
                                                 "серверу базы данных."));
  // No log written at all (a folder stands in its place), whatever the status says.
  ASSERT_TRUE(os::ForceDirectories(paths::ToolLog() + os::PathDelimiter() + "sub"));
  const auto [className, message] = Failure();
  EXPECT_EQ(className, "Exception");
  EXPECT_EQ(message.rfind(noResult, 0), 0u) << message;
  std::filesystem::remove_all(FsPath(paths::ToolLog()));
  // An empty log with a status of 0 is the tool's word that it found nothing.
  os::SetEnv("VELMAR_ECHO_EXIT", "0");
  EXPECT_NO_THROW(ValidateDatabase(database));
}

TEST_F(ScriptedValidation, ChecksTheToolThenTheDatabaseThenTheWorkDirectory) {
  const std::string missingDatabase = database + ".missing";
  os::RemoveFile(paths::Gfix());
  const std::string toolMissing = "Не найден файл: " + paths::Gfix();
  database = missingDatabase;
  EXPECT_EQ(Failure(), std::make_pair(std::string("Exception"), toolMissing));

  sandbox.InstallProgram(EchoToolPath(), paths::Gfix());
  // A file where the work directory's parent should be.
  const std::string temp = os::ExtractFileDir(os::ExtractFileDir(paths::WorkDirectory()));
  std::error_code ignored;
  std::filesystem::remove_all(FsPath(temp), ignored);
  WriteFileBytes(temp, "not a folder");
  EXPECT_EQ(Failure(),
            std::make_pair(std::string("Exception"),
                           std::string("Указанная база данных не найдена на этом компьютере!")));

  database = paths::DefaultDatabase();
  const int runs = ToolBatchCount();
  EXPECT_EQ(Failure(),
            std::make_pair(std::string("Exception"),
                           "Не удалось создать временный каталог: " + paths::WorkDirectory()));
  EXPECT_EQ(ToolBatchCount(), runs) << "the tool was run without its work directory";
  os::RemoveFile(temp);
}

TEST_F(ScriptedValidation, AMissingPortExportFailsAfterTheFileChecks) {
  FBUtilsFinalize();
  sandbox.InstallSuiteLibrary(BuiltSuiteLibraryWithoutPort(), "[Common]\nPassword=pw\n");
  ASSERT_TRUE(FBUtilsInitialize());
  const std::string message =
      "Функция \"GetFBPort\" в библиотеке \"" + paths::SuiteLibraryFileName() + "\" не найдена!";
  EXPECT_EQ(Failure(), std::make_pair(std::string("Exception"), message));
  os::RemoveFile(paths::Gfix());
  EXPECT_EQ(Failure().second, "Не найден файл: " + paths::Gfix());
}

TEST_F(ScriptedValidation, ACancelPassesOnAndLeavesNoScriptBehind) {
  os::SetEnv("VELMAR_ECHO_SLEEP_MS", "1500");
  os::SetEnv("VELMAR_ECHO_STARTED", scratch + "started");
  os::SetEnv("VELMAR_ECHO_MARKER", scratch + "ended");
  ToolPrints("Summary of validation errors\n");
  const int run = ToolBatchCount() + 1;
  {
    ScriptedCancel cancel([this] { return os::FileExists(scratch + "started"); });
    EXPECT_THROW(ValidateDatabase(database), EProgressCancelByUser);
    EXPECT_TRUE(cancel.Happened());
  }
  EXPECT_TRUE(OnWindows() || !os::FileExists(ToolBatchFile(run)));
  EXPECT_FALSE(os::FileExists(scratch + "ended"));
  // The tool runs on to its end; only then may its log go.
  for (int i = 0; i < 250 && !os::FileExists(scratch + "ended"); ++i)
    os::SleepMs(20);
  EXPECT_TRUE(os::FileExists(scratch + "ended"));
  EXPECT_TRUE(ScriptGone(ToolBatchFile(run), 5000));
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  UseProgressViewerUnit();
  return RUN_ALL_TESTS();
}
