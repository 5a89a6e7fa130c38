// The server tools' command lines: their exact text, and that every argument reaches the
// tool unchanged however odd the paths and the password are.
#include <gtest/gtest.h>

#include "os/Exception.h"
#include "os/Files.h"
#include "server/FixedPaths.h"
#include "server/ToolCommands.h"
#include "tests/server/KoraSandbox.h"
#include "tests/server/ServerTestTools.h"

namespace {

const ToolLogin kLogin{3050, "masterkey"};

#ifdef _WIN32

// gbak runs through the server's service manager and names the files as the server sees them.
TEST(ToolCommands, AreTheSuitesCommandLinesWithBothStreamsInTheLog) {
  const std::string gfix = "C:\\KORA\\FIREBIRD\\bin\\gfix.exe";
  const std::string gbak = "C:\\KORA\\FIREBIRD\\bin\\gbak.exe";
  const std::string db = "C:\\KORA\\DB\\VELMAR.FDB";
  const std::string log = "C:\\KORA\\TEMP\\DBRepair\\FireBirdFixLog.log";
  EXPECT_EQ(
      ValidationCommand(gfix, kLogin, db, log),
      "\"C:\\KORA\\FIREBIRD\\bin\\gfix.exe\" -v -full \"127.0.0.1/3050:C:\\KORA\\DB\\VELMAR.FDB\""
      " > \"C:\\KORA\\TEMP\\DBRepair\\FireBirdFixLog.log\" 2>&1");
  EXPECT_EQ(
      MendCommand(gfix, kLogin, db, log),
      "\"C:\\KORA\\FIREBIRD\\bin\\gfix.exe\" -mend \"127.0.0.1/3050:C:\\KORA\\DB\\VELMAR.FDB\""
      " > \"C:\\KORA\\TEMP\\DBRepair\\FireBirdFixLog.log\" 2>&1");
  EXPECT_EQ(BackupCommand(gbak, kLogin, db, "C:\\KORA\\DB\\VELMAR.db_backup1", log),
            "\"C:\\KORA\\FIREBIRD\\bin\\gbak.exe\" -b -v -ig -g"
            " -se \"127.0.0.1/3050:service_mgr\" \"C:\\KORA\\DB\\VELMAR.FDB\""
            " \"C:\\KORA\\DB\\VELMAR.db_backup1\""
            " > \"C:\\KORA\\TEMP\\DBRepair\\FireBirdFixLog.log\" 2>&1");
  EXPECT_EQ(RestoreCommand(gbak, kLogin, "C:\\KORA\\DB\\VELMAR.db_backup1",
                           "C:\\KORA\\DB\\VELMAR.db_restored1", log),
            "\"C:\\KORA\\FIREBIRD\\bin\\gbak.exe\" -c -v -se \"127.0.0.1/3050:service_mgr\""
            " \"C:\\KORA\\DB\\VELMAR.db_backup1\" \"C:\\KORA\\DB\\VELMAR.db_restored1\""
            " > \"C:\\KORA\\TEMP\\DBRepair\\FireBirdFixLog.log\" 2>&1");
}

TEST(ToolCommands, DoublePercentSigns) {
  EXPECT_EQ(
      ValidationCommand("C:\\a%b\\gfix.exe", ToolLogin{1, "p%w"}, "C:\\d%PATH%.fdb", "C:\\l.log"),
      "\"C:\\a%%b\\gfix.exe\" -v -full \"127.0.0.1/1:C:\\d%%PATH%%.fdb\" > \"C:\\l.log\" 2>&1");
}

#else

// gbak runs through the server's service manager and names the files as the server sees them.
TEST(ToolCommands, QuoteEveryValueForTheShellAndSendBothStreamsToTheLog) {
  const std::string gfix = "/opt/kora/FIREBIRD/bin/gfix";
  const std::string gbak = "/opt/kora/FIREBIRD/bin/gbak";
  const std::string db = "/opt/kora/DB/VELMAR.FDB";
  const std::string log = "/opt/kora/TEMP/DBRepair/FireBirdFixLog.log";
  EXPECT_EQ(ValidationCommand(gfix, kLogin, db, log),
            "'/opt/kora/FIREBIRD/bin/gfix' -v -full '127.0.0.1/3050:/opt/kora/DB/VELMAR.FDB'"
            " > '/opt/kora/TEMP/DBRepair/FireBirdFixLog.log' 2>&1");
  EXPECT_EQ(MendCommand(gfix, kLogin, db, log),
            "'/opt/kora/FIREBIRD/bin/gfix' -mend '127.0.0.1/3050:/opt/kora/DB/VELMAR.FDB'"
            " > '/opt/kora/TEMP/DBRepair/FireBirdFixLog.log' 2>&1");
  EXPECT_EQ(BackupCommand(gbak, kLogin, db, "/opt/kora/DB/VELMAR.db_backup1", log),
            "'/opt/kora/FIREBIRD/bin/gbak' -b -v -ig -g -se '127.0.0.1/3050:service_mgr'"
            " '/opt/kora/DB/VELMAR.FDB' '/opt/kora/DB/VELMAR.db_backup1'"
            " > '/opt/kora/TEMP/DBRepair/FireBirdFixLog.log' 2>&1");
  EXPECT_EQ(RestoreCommand(gbak, kLogin, "/opt/kora/DB/VELMAR.db_backup1",
                           "/opt/kora/DB/VELMAR.db_restored1", log),
            "'/opt/kora/FIREBIRD/bin/gbak' -c -v -se '127.0.0.1/3050:service_mgr'"
            " '/opt/kora/DB/VELMAR.db_backup1' '/opt/kora/DB/VELMAR.db_restored1'"
            " > '/opt/kora/TEMP/DBRepair/FireBirdFixLog.log' 2>&1");
  EXPECT_EQ(MendCommand("/a'b", ToolLogin{1, "it's"}, "d", "l"),
            "'/a'\\''b' -mend '127.0.0.1/1:d' > 'l' 2>&1");
}

#endif

// Folder names that a careless script would expand, split or run.
std::vector<std::string> OddNames() {
  std::vector<std::string> names = {"with space", "per%cent%", "and&amp", "База данных"};
  if (!OnWindows()) {
    for (const char* more : {"dollar$HOME", "back`id`tick", "it's", "semi;colon|pipe"})
      names.push_back(more);
  } else {
    for (const char* more : {"dollar$HOME", "back`tick", "it's", "semi;colon"})
      names.push_back(more);
  }
  return names;
}

class ToolCommandsReachTheTool : public ::testing::Test {
 protected:
  KoraSandbox sandbox;
};

TEST_F(ToolCommandsReachTheTool, WithEveryArgumentUnchanged) {
  const std::string work = paths::WorkDirectory();
  ASSERT_TRUE(os::ForceDirectories(work));
  // Passwords the suite's library might give: percent signs, the interpreter's own characters,
  // spaces, quotes and backslashes before them or at the end, Cyrillic letters. They travel in
  // the environment and never stand on the command line.
  const std::vector<std::string> passwords = {"pa%ss&w rd", "a\"b", "pa ss\\", "q\" & x\\\"y\\\\",
                                              "Пароль$`'1"};
  int run = 0;
  for (const std::string& name : OddNames()) {
    SCOPED_TRACE(name);
    const std::string folder = sandbox.Root() + os::PathDelimiter() + name;
    const std::string tool = folder + os::PathDelimiter() + os::ExtractFileName(EchoToolPath());
    sandbox.InstallProgram(EchoToolPath(), tool);
    const std::string database = folder + os::PathDelimiter() + name + ".fdb";
    const std::string backup = folder + os::PathDelimiter() + name + ".db_backup1";
    const std::string log = folder + os::PathDelimiter() + "tool log.log";
    const std::string& password = passwords[static_cast<std::size_t>(run / 3) % passwords.size()];
    SCOPED_TRACE(password);
    const ToolLogin login{31001, password};
    const std::string server = "127.0.0.1/31001:" + database;
    const std::string serviceManager = "127.0.0.1/31001:service_mgr";
    const std::vector<std::string> loginLines = {"ISC_USER=SYSDBA", "ISC_PASSWORD=" + password,
                                                 "echo tool: done"};
    const auto withLogin = [&loginLines](std::vector<std::string> lines) {
      lines.insert(lines.end(), loginLines.begin(), loginLines.end());
      return lines;
    };

    const std::string validation = ValidationCommand(tool, login, database, log);
    EXPECT_EQ(validation.find(password), std::string::npos);
    ASSERT_TRUE(RunScriptDirectly(work + "script" + std::to_string(++run) + ".bat", validation,
                                  LoginEnvironment(login)));
    EXPECT_EQ(FileLines(log), withLogin({"-v", "-full", server}));

    ASSERT_TRUE(RunScriptDirectly(work + "script" + std::to_string(++run) + ".bat",
                                  BackupCommand(tool, login, database, backup, log),
                                  LoginEnvironment(login)));
    EXPECT_EQ(FileLines(log),
              withLogin({"-b", "-v", "-ig", "-g", "-se", serviceManager, database, backup}));

    ASSERT_TRUE(RunScriptDirectly(work + "script" + std::to_string(++run) + ".bat",
                                  RestoreCommand(tool, login, backup, database, log),
                                  LoginEnvironment(login)));
    EXPECT_EQ(FileLines(log), withLogin({"-c", "-v", "-se", serviceManager, backup, database}));
  }
}

}  // namespace
