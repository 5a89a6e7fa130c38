// The stand-in for gfix and gbak: its script is read as documented, and the copies in the
// bin folder behave as scripted when the program's own tool runner script starts them.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "os/Environment.h"
#include "os/File.h"
#include "os/Files.h"
#include "os/Process.h"
#include "os/Time.h"
#include "server/ToolQuoting.h"
#include "server/ToolScript.h"
#include "tests/support/StandinScript.h"

using namespace standin;

namespace {

TEST(StandinScript, SectionsMatchToolArgumentsAndCallNumber) {
  const Script script = ParseScript(
      "# validation after mending\n"
      "[gfix -v -full #2]\n"
      "err: second\n"
      "[GFIX -full -V]\n"
      "err: first\n"
      "[gbak -c]\n"
      "out: restore\n"
      "[*]\n"
      "exit: 7\n");
  ASSERT_EQ(script.sections.size(), 4u);
  const std::vector<std::string> validate{"-v", "-full", "-user", "SYSDBA", "db.fdb"};
  EXPECT_EQ(SelectSection(script, "gfix", validate, 2), &script.sections[0]);
  EXPECT_EQ(SelectSection(script, "gfix", validate, 1), &script.sections[1]);
  EXPECT_EQ(SelectSection(script, "gfix", validate, 3), &script.sections[1]);
  EXPECT_EQ(SelectSection(script, "gbak", {"-C", "-v", "a", "b"}, 1), &script.sections[2]);
  // "-v" alone does not make "-v -full"; the catch-all takes it.
  EXPECT_EQ(SelectSection(script, "gfix", {"-v"}, 1), &script.sections[3]);
  EXPECT_EQ(script.sections[3].exitCode, 7);

  const Script strict = ParseScript("[gfix -mend]\nexit: 0\n");
  EXPECT_EQ(SelectSection(strict, "gbak", {"-mend"}, 1), nullptr);
  EXPECT_EQ(SelectSection(strict, "gfix", {"-v"}, 1), nullptr);
}

TEST(StandinScript, ActionsKeepTheirOrderAndTexts) {
  const Script script = ParseScript(
      "[gbak]\r\n"
      "out: gbak:readied database {arg:2} for backup \r\n"
      "sleep: 250\r\n"
      "file: {last}\r\n"
      "line: first\r\n"
      "line:\r\n"
      "copy: {arg:1} | {last:path}\r\n"
      "delete: {arg:1}\r\n"
      "err: {tab}Number of record level errors{tab}: 3\r\n"
      "encoding: OEM\r\n"
      "exit: 1\r\n");
  ASSERT_EQ(script.sections.size(), 1u);
  const Section& section = script.sections[0];
  ASSERT_EQ(section.actions.size(), 6u);
  EXPECT_EQ(section.actions[0].kind, Action::Kind::Out);
  EXPECT_EQ(section.actions[0].text, "gbak:readied database {arg:2} for backup ");
  EXPECT_EQ(section.actions[1].kind, Action::Kind::Sleep);
  EXPECT_EQ(section.actions[1].milliseconds, 250);
  EXPECT_EQ(section.actions[2].kind, Action::Kind::File);
  EXPECT_EQ(section.actions[2].lines, (std::vector<std::string>{"first", ""}));
  EXPECT_EQ(section.actions[3].kind, Action::Kind::Copy);
  EXPECT_EQ(section.actions[3].text, "{arg:1}");
  EXPECT_EQ(section.actions[3].target, "{last:path}");
  EXPECT_EQ(section.actions[4].kind, Action::Kind::Delete);
  EXPECT_EQ(section.actions[5].kind, Action::Kind::Err);
  EXPECT_EQ(section.exitCode, 1);
  EXPECT_EQ(section.encoding, Encoding::Oem);
}

TEST(StandinScript, MistakesNameTheirLine) {
  auto lineOf = [](const std::string& text) {
    try {
      ParseScript(text);
    } catch (const std::runtime_error& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_NE(lineOf("out: before any section\n").find("line 1"), std::string::npos);
  EXPECT_NE(lineOf("[gfix]\nsleep: soon\n").find("line 2"), std::string::npos);
  EXPECT_NE(lineOf("[gfix]\n\n# c\nline: orphan\n").find("line 4"), std::string::npos);
  EXPECT_NE(lineOf("[gfix]\nshout: x\n").find("unknown instruction"), std::string::npos);
  EXPECT_NE(lineOf("[gfix]\ncopy: only-one\n").find("line 2"), std::string::npos);
  EXPECT_NE(lineOf("[gfix\n").find("line 1"), std::string::npos);
  EXPECT_NE(lineOf("[gfix]\nencoding: koi8\n").find("koi8"), std::string::npos);
}

TEST(StandinScript, TokensExpandFromTheArguments) {
  const std::vector<std::string> args{"-c", "C:\\DB\\A.db_backup1",
                                      "127.0.0.1/3050:C:\\DB\\Моя база.db_restored1"};
  EXPECT_EQ(Expand("{arg:2}", args), "C:\\DB\\A.db_backup1");
  EXPECT_EQ(Expand("{last}", args), args[2]);
  EXPECT_EQ(Expand("{last:path}", args), "C:\\DB\\Моя база.db_restored1");
  EXPECT_EQ(Expand("{arg:2:path}", args), "C:\\DB\\A.db_backup1");  // no prefix to strip
  EXPECT_EQ(Expand("a{tab}b", args), "a\tb");
  EXPECT_EQ(Expand("[{args}]", args), "[-c C:\\DB\\A.db_backup1 " + args[2] + "]");
  EXPECT_EQ(Expand("{arg:9}|{arg:0}", args), "|");
  EXPECT_EQ(Expand("{unknown} {arg:x} {", args), "{unknown} {arg:x} {");
  EXPECT_EQ(Expand("{last:path}", {"/srv/db/a.fdb"}), "/srv/db/a.fdb");
  EXPECT_EQ(Expand("{last:path}", {"127.0.0.1/3050:/srv/db/a.fdb"}), "/srv/db/a.fdb");
}

TEST(StandinScript, ToolNamesAndTheCallsLog) {
  EXPECT_EQ(ToolName("C:\\KORA\\FIREBIRD\\bin\\GFIX.EXE"), "gfix");
  EXPECT_EQ(ToolName("/build/bin/gbak"), "gbak");
  EXPECT_EQ(CallRecord("gfix", {"-v", "a b"}), "gfix\t-v\ta b");
  const std::string log = "gfix\t-v\r\ngbak\t-b\ngfix\t-mend\ngfixer\t-v\ngfix\n";
  EXPECT_EQ(CountCalls(log, "gfix"), 3);
  EXPECT_EQ(CountCalls(log, "gbak"), 1);
  EXPECT_EQ(CountCalls("", "gfix"), 0);
}

// Runs the stand-ins from the bin folder through the program's own runner script.
class StandinProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto binDir = os::GetEnv("VELMAR_BIN_DIR");
    ASSERT_TRUE(binDir) << "VELMAR_BIN_DIR is not set";
    bin_ = os::IncludeTrailingDelimiter(*binDir);
    const std::string exe = os::PathDelimiter() == '\\' ? ".exe" : "";
    gfix_ = bin_ + "gfix" + exe;
    gbak_ = bin_ + "gbak" + exe;
    ASSERT_TRUE(os::FileExists(gfix_)) << gfix_;
    ASSERT_TRUE(os::FileExists(gbak_)) << gbak_;
    folder_ = os::TempDirectory() + "velmar-standin-" + std::to_string(os::CurrentProcessId()) +
              os::PathDelimiter() + "Папка с пробелами" + os::PathDelimiter();
    ASSERT_TRUE(os::ForceDirectories(folder_));
    for (const auto& entry : os::FindEntries(folder_ + "*")) {
      if (!entry.isDirectory)
        os::RemoveFile(folder_ + entry.name);
    }
    os::SetEnv("VELMAR_STANDIN_SCRIPT", folder_ + "tools.script");
    os::SetEnv("VELMAR_STANDIN_LOG", folder_ + "calls.log");
  }

  void TearDown() override {
    const std::string top = os::ExtractFileDir(os::ExtractFileDir(folder_));
    std::error_code ignored;
    std::filesystem::remove_all(reinterpret_cast<const char8_t*>(top.c_str()), ignored);
  }

  void WriteScript(const std::string& text) {
    auto file = os::File::Open(folder_ + "tools.script", os::File::Mode::CreateExclusive);
    ASSERT_TRUE(file);
    file->Write(text.data(), text.size());
    file->Close();
  }

  // Starts `tool args... 2> errorLog` the way the program's runner does.
  std::unique_ptr<os::Process> Start(const std::string& tool, const std::string& args,
                                     const std::string& errorLog) {
    const std::string script =
        folder_ + "run" + std::to_string(++runs_) + (os::PathDelimiter() == '\\' ? ".bat" : ".sh");
    WriteToolScript(
        script, toolquoting::Quoted(tool) + " " + args + " 2> " + toolquoting::Quoted(errorLog));
    return os::Process::StartHiddenScript(script);
  }

  std::string Read(const std::string& path) {
    return os::FileExists(path) ? os::ReadWholeFile(path) : "<missing " + path + ">";
  }

  std::string bin_, gfix_, gbak_, folder_;
  int runs_ = 0;
};

TEST_F(StandinProcessTest, WritesItsErrorStreamAndRecordsItsArguments) {
  WriteScript(
      "[gfix -v -full #2]\n"
      "err: second run\n"
      "[gfix -v -full]\n"
      "out: to standard output\n"
      "err: Summary of validation errors\n"
      "err: {tab}Number of record level errors{tab}: 3\n"
      "exit: 0\n");
  const std::string database = "127.0.0.1/3050:" + folder_ + "База данных.fdb";
  const std::string args = "-v -full -user SYSDBA -pass Vm1x " + toolquoting::Quoted(database);
  auto first = Start(gfix_, args, folder_ + "first.log");
  ASSERT_TRUE(first);
  ASSERT_TRUE(first->Wait(30000));
  auto second = Start(gfix_, args, folder_ + "second.log");
  ASSERT_TRUE(second);
  ASSERT_TRUE(second->Wait(30000));

  const std::string firstLog = Read(folder_ + "first.log");
  EXPECT_NE(firstLog.find("Summary of validation errors"), std::string::npos) << firstLog;
  EXPECT_NE(firstLog.find("\tNumber of record level errors\t: 3"), std::string::npos);
  EXPECT_EQ(firstLog.find("to standard output"), std::string::npos) << firstLog;
  const std::string secondLog = Read(folder_ + "second.log");
  EXPECT_NE(secondLog.find("second run"), std::string::npos) << secondLog;

  const std::string expectedCall = "gfix\t-v\t-full\t-user\tSYSDBA\t-pass\tVm1x\t" + database;
  const std::string calls = Read(folder_ + "calls.log");
  EXPECT_EQ(calls, expectedCall + "\n" + expectedCall + "\n");
}

TEST_F(StandinProcessTest, CreatesAndCopiesFilesNamedByItsArguments) {
  WriteScript(
      "[gbak -b]\n"
      "err: gbak:closing file, committing, and finishing.\n"
      "file: {last}\n"
      "line: backup of {arg:7:path}\n"
      "[gbak -c]\n"
      "copy: {arg:7} | {last:path}\n"
      "err: gbak:finishing, closing, and going home\n");
  const std::string database = folder_ + "Моя база.fdb";
  const std::string backup = folder_ + "Моя база.db_backup1";
  const std::string restored = folder_ + "Моя база.db_restored1";
  auto run =
      Start(gbak_,
            "-b -v -ig -g -user SYSDBA " + toolquoting::Quoted("127.0.0.1/3050:" + database) + " " +
                toolquoting::Quoted(backup),
            folder_ + "backup.log");
  ASSERT_TRUE(run && run->Wait(30000));
  EXPECT_NE(Read(folder_ + "backup.log").find("committing, and finishing."), std::string::npos);
  const std::string content = Read(backup);
  EXPECT_EQ(content.substr(0, content.find_last_not_of("\r\n") + 1), "backup of " + database);

  run = Start(gbak_,
              "-c -v -user SYSDBA -pass x " + toolquoting::Quoted(backup) + " " +
                  toolquoting::Quoted("127.0.0.1/3050:" + restored),
              folder_ + "restore.log");
  ASSERT_TRUE(run && run->Wait(30000));
  EXPECT_EQ(Read(restored), content);
  EXPECT_NE(Read(folder_ + "restore.log").find("going home"), std::string::npos);
}

TEST_F(StandinProcessTest, SleepsBeforeTheRestOfItsWork) {
  WriteScript(
      "[gfix -mend]\n"
      "sleep: 1500\n"
      "file: {arg:2}\n"
      "line: done\n");
  const std::string marker = folder_ + "finished.txt";
  const std::uint64_t started = os::MonotonicMs();
  auto run = Start(gfix_, "-mend " + toolquoting::Quoted(marker), folder_ + "mend.log");
  ASSERT_TRUE(run);
  EXPECT_FALSE(run->Wait(500));
  EXPECT_FALSE(os::FileExists(marker));
  ASSERT_TRUE(run->Wait(30000));
  EXPECT_GE(os::MonotonicMs() - started, 1500u);
  EXPECT_TRUE(os::FileExists(marker));
}

TEST_F(StandinProcessTest, CallWithoutMatchingSectionSaysSoOnItsErrorStream) {
  WriteScript("[gbak -b]\nexit: 0\n");
  auto run = Start(gfix_, "-v -full x.fdb", folder_ + "nomatch.log");
  ASSERT_TRUE(run && run->Wait(30000));
  const std::string log = Read(folder_ + "nomatch.log");
  EXPECT_NE(log.find("standin: no section matches gfix\t-v\t-full\tx.fdb"), std::string::npos)
      << log;
}

}  // namespace
