// The trial backup through the private server's backup service.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "check/TrialBackup.h"
#include "progress/ProgressViewer.h"
#include "tests/check/CheckSandbox.h"
#include "tests/support/DamageKit.h"
#include "tests/support/FbTestServer.h"

namespace fs = std::filesystem;
using checktest::CheckSandbox;
using checktest::LogRecord;

namespace {

constexpr char kCaption[] = "Создание резервной копии";
constexpr char kChainPrefix[] = "СозданиеРезервнойКопииБД -> ";

std::string Announcement(const std::string& database, const std::string& backup) {
  return "Будет создана резервная копия \"" + backup + "\" базы данных \"" + database +
         "\" (127.0.0.1)";
}

bool HasLine(const TProgressViewer& viewer, int number) {
  for (const TStringInfo& line : viewer.StringsSnapshot()) {
    if (line.Number == number)
      return true;
  }
  return false;
}

// What the operator saw in the backup's progress windows, line by line.
class ViewerWatch {
 public:
  // `cancel`: press Esc in the window as soon as it shows; `cancelAtLine`: only once the
  // window shows that line.
  explicit ViewerWatch(bool cancel, int cancelAtLine = 0, bool cancelAgainWhileWaiting = false) {
    SetViewerCycleHook([=, this](TProgressViewer& viewer) {
      if (viewer.GetCaption() != kCaption)
        return;
      std::lock_guard<std::mutex> lock(mutex_);
      ++cycles_;
      sawWindow_ = sawWindow_ || viewer.GetHandle() != 0;
      for (const TStringInfo& line : viewer.StringsSnapshot())
        seen_.push_back(line);
      if (cancelAgainWhileWaiting && cancelGiven_ && !secondCancelGiven_ && HasLine(viewer, 20)) {
        secondCancelGiven_ = true;
        viewer.Cancel();
        return;
      }
      if (!cancel || cancelGiven_)
        return;
      if (cancelAtLine != 0 && !HasLine(viewer, cancelAtLine))
        return;
      cancelGiven_ = true;
      viewer.Cancel();
      // Hold this cycle until the backup has answered the cancel: the window closes right
      // after that, before another cycle could see it.
      for (int i = 0; i < 100 && cancelAtLine == 0 && !HasLine(viewer, 15); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      for (const TStringInfo& line : viewer.StringsSnapshot())
        seen_.push_back(line);
    });
  }
  ~ViewerWatch() { SetViewerCycleHook(nullptr); }

  bool SawWindow() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sawWindow_;
  }
  int Cycles() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cycles_;
  }
  // The last state seen of line `number`.
  std::optional<TStringInfo> Line(int number) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<TStringInfo> last;
    for (const TStringInfo& line : seen_) {
      if (line.Number == number)
        last = line;
    }
    return last;
  }

 private:
  mutable std::mutex mutex_;
  int cycles_ = 0;
  bool sawWindow_ = false;
  bool cancelGiven_ = false;  // the operator presses Esc once
  bool secondCancelGiven_ = false;
  std::vector<TStringInfo> seen_;
};

void ExpectStatusLineStyle(const TStringInfo& line) {
  EXPECT_EQ(line.Alignment, 0);
  EXPECT_FALSE(line.WordWrap);
  EXPECT_EQ(line.Color, 0x008000u);
  EXPECT_EQ(line.FontStyle, 1);
  EXPECT_EQ(line.FontSize, 12);
  EXPECT_EQ(line.FontName, GlobalFontName);
}

// Makes a folder's entries undeletable, even for the superuser, while it lives.
class ImmutableFolder {
 public:
  explicit ImmutableFolder(std::string path) : path_(std::move(path)) {
    ok_ = std::system(("chattr +i '" + path_ + "' 2>/dev/null").c_str()) == 0;
  }
  ~ImmutableFolder() {
    if (ok_)
      std::system(("chattr -i '" + path_ + "'").c_str());
  }
  bool Ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false;
};

// A loopback port nobody listens on.
int UnusedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  close(fd);
  return ntohs(address.sin_port);
}

class TrialBackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto found = testsupport::FbTestServer::FromEnvironment();
    ASSERT_TRUE(found) << "the private Firebird server is not running";
    server_ = *found;
    const std::string name =
        std::string("backup-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    sandbox_.emplace(server_, name);
    db_ = sandbox_->DataDir() + "/VELMAR.FDB";
    backup_ = sandbox_->DataDir() + "/VELMAR.db_backup";
  }

  void UseTemplate(const std::string& name, int rows) {
    checktest::CopyDatabase(checktest::TemplateDatabase(server_, name, rows, true), db_);
  }

  void Backup(std::vector<std::string>& verboseLog, bool showProgress, int port = 0,
              const std::string& password = "") {
    MakeTrialBackup("127.0.0.1", db_, backup_, "SYSDBA",
                    password.empty() ? server_.password : password, verboseLog,
                    port == 0 ? server_.port : port, showProgress);
  }

  testsupport::FbTestServer server_;
  std::optional<CheckSandbox> sandbox_;
  std::string db_;
  std::string backup_;
};

TEST_F(TrialBackupTest, WithoutProgressTheFileStaysAndEarlierLinesAreKept) {
  UseTemplate("check-small", 2000);
  ViewerWatch watch(false);
  std::vector<std::string> verboseLog{"a line of an earlier call"};
  Backup(verboseLog, /*showProgress=*/false);

  EXPECT_GT(fs::file_size(backup_), 0u);
  ASSERT_GT(verboseLog.size(), 10u);
  EXPECT_EQ(verboseLog.front(), "a line of an earlier call");
  EXPECT_NE(verboseLog[1].find("readied database"), std::string::npos) << verboseLog[1];
  EXPECT_NE(verboseLog.back().find("closing file, committing, and finishing"), std::string::npos)
      << verboseLog.back();
  EXPECT_EQ(watch.Cycles(), 0) << "no progress window was asked for";

  const auto records = sandbox_->Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].text, Announcement(db_, backup_));
  EXPECT_EQ(records[0].tag, " [событ]");
  EXPECT_EQ(records[1].text, "Создание резервной копии завершено");
  EXPECT_EQ(records[1].tag, " [событ]");
  fs::remove(backup_);
}

TEST_F(TrialBackupTest, ProgressShowsTheLatestLineAndTheFileIsDeleted) {
  UseTemplate("check-medium", 60000);
  ViewerWatch watch(false);
  std::vector<std::string> verboseLog;
  Backup(verboseLog, /*showProgress=*/true);

  EXPECT_FALSE(fs::exists(backup_));
  ASSERT_GT(watch.Cycles(), 0);
  const char* display = std::getenv("DISPLAY");
  if (display != nullptr && *display != '\0') {
    EXPECT_TRUE(watch.SawWindow()) << "the progress window did not open on " << display;
  }
  const std::optional<TStringInfo> latest = watch.Line(10);
  ASSERT_TRUE(latest);
  EXPECT_NE(std::find(verboseLog.begin(), verboseLog.end(), latest->Text), verboseLog.end())
      << latest->Text;
  ExpectStatusLineStyle(*latest);
  EXPECT_FALSE(watch.Line(15));
  EXPECT_EQ(sandbox_->RecordTexts(), (std::vector<std::string>{
                                         Announcement(db_, backup_),
                                         "Создание резервной копии завершено",
                                     }));
}

TEST_F(TrialBackupTest, CancelKeepsItsClassAndLeavesNoFile) {
  UseTemplate("check-medium", 60000);
  ViewerWatch watch(true);
  std::vector<std::string> verboseLog;
  try {
    Backup(verboseLog, /*showProgress=*/true);
    FAIL() << "the cancel was not reported";
  } catch (const EProgressCancelByUser& e) {
    EXPECT_EQ(e.Message(),
              "СозданиеРезервнойКопииБД -> Прервано пользователем! <# EProgressCancelByUser #>");
  }
  EXPECT_LT(verboseLog.size(), 20u) << "the cancel came late";
  const std::optional<TStringInfo> cancelled = watch.Line(15);
  ASSERT_TRUE(cancelled);
  EXPECT_EQ(cancelled->Text, "Прервано пользователем!");
  ExpectStatusLineStyle(*cancelled);

  // The server gives the backup up or finishes it; either way nothing may stay behind.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_FALSE(fs::exists(backup_));
  const auto records = sandbox_->Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].text, "Ошибка создания резервной копии: Прервано пользователем!");
  EXPECT_EQ(records[1].tag, " [ошиб]");
}

TEST_F(TrialBackupTest, SecondCancelGivesUpWaitingForTheCancelledBackup) {
  UseTemplate("check-medium", 60000);
  // How long the whole backup takes here and now.
  std::vector<std::string> fullLog;
  const auto fullStart = std::chrono::steady_clock::now();
  Backup(fullLog, /*showProgress=*/false);
  const auto fullBackup = std::chrono::steady_clock::now() - fullStart;
  fs::remove(backup_);

  ViewerWatch watch(/*cancel=*/true, /*cancelAtLine=*/0, /*cancelAgainWhileWaiting=*/true);
  std::vector<std::string> verboseLog;
  const auto start = std::chrono::steady_clock::now();
  try {
    Backup(verboseLog, /*showProgress=*/true);
    FAIL() << "the cancel was not reported";
  } catch (const EProgressCancelByUser& e) {
    EXPECT_EQ(e.Message(),
              "СозданиеРезервнойКопииБД -> Прервано пользователем! <# EProgressCancelByUser #>");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, fullBackup)
      << "the second cancel did not end the wait";
  const std::optional<TStringInfo> waiting = watch.Line(20);
  ASSERT_TRUE(waiting) << "the cancelled backup was not waited for";
  EXPECT_EQ(waiting->Text, "Ожидание освобождения файла...");
  ExpectStatusLineStyle(*waiting);
  // Lines read while waiting are not the backup's output any more.
  EXPECT_LT(verboseLog.size(), 20u);

  // The server may still finish that backup: leave nothing of it behind.
  for (int i = 0; i < 40; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::error_code ignored;
    fs::remove(backup_, ignored);
  }
}

TEST_F(TrialBackupTest, FailurePartWayLogsTheCollectedLinesInOrder) {
  UseTemplate("check-small", 2000);
  testsupport::Damage(server_, db_, testsupport::DamageKind::ZeroDataPage);
  std::vector<std::string> verboseLog{"a line of an earlier call"};
  std::string className;
  std::string message;
  try {
    Backup(verboseLog, /*showProgress=*/true);
    FAIL() << "a backup of a zeroed data page succeeded";
  } catch (const Exception& e) {
    className = e.ClassName();
    message = e.Message();
  }
  EXPECT_NE(className, "EProgressCancelByUser");
  ASSERT_EQ(message.rfind(kChainPrefix, 0), 0u) << message;
  const std::string tag = " <# " + className + " #>";
  ASSERT_GT(message.size(), tag.size());
  EXPECT_EQ(message.substr(message.size() - tag.size()), tag);
  const std::string inner =
      message.substr(std::string(kChainPrefix).size(),
                     message.size() - tag.size() - std::string(kChainPrefix).size());
  EXPECT_FALSE(fs::exists(backup_));
  ASSERT_GT(verboseLog.size(), 2u);

  std::string expectedLog = "Лог резервирования (предоставлен в целях отладки ошибки):";
  for (const std::string& line : verboseLog)
    expectedLog += "\n" + line;
  while (!expectedLog.empty() && (expectedLog.back() == ' ' || expectedLog.back() == '\n')) {
    expectedLog.pop_back();
  }
  const auto records = sandbox_->Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].text, Announcement(db_, backup_));
  EXPECT_EQ(records[1].text, expectedLog);
  EXPECT_EQ(records[1].tag, "");
  EXPECT_EQ(records[2].text,
            "Ошибка создания резервной копии: " + checktest::WithoutCarriageReturns(inner));
  EXPECT_EQ(records[2].tag, " [ошиб]");
}

TEST_F(TrialBackupTest, RefusedLoginAndUnreachableServerFailBeforeAnyOutput) {
  UseTemplate("check-small", 2000);
  for (const auto& [port, password] : {std::pair{server_.port, std::string("WrongPassword1")},
                                       std::pair{UnusedPort(), std::string()}}) {
    SCOPED_TRACE("port " + std::to_string(port));
    std::vector<std::string> verboseLog;
    try {
      Backup(verboseLog, /*showProgress=*/true, port, password);
      FAIL() << "the backup ran";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message().rfind(kChainPrefix, 0), 0u) << e.Message();
      EXPECT_NE(e.Message().find(std::string(" <# ") + e.ClassName() + " #>"), std::string::npos);
    }
    EXPECT_TRUE(verboseLog.empty());
  }
  for (const LogRecord& record : sandbox_->Records()) {
    EXPECT_EQ(record.text.find("Лог резервирования"), std::string::npos);
    EXPECT_NE(record.text, "Создание резервной копии завершено");
  }
  EXPECT_EQ(sandbox_->Records().size(), 4u);
  EXPECT_FALSE(fs::exists(backup_));
}

// The deletion error of the backup file as the trial backup raises it.
void ExpectDeletionError(const Exception& e, const std::string& backup,
                         const std::string& className = "Exception") {
  EXPECT_EQ(e.ClassName(), className);
  const std::string start =
      std::string(kChainPrefix) + "Ошибка при удалении файла \"" + backup + "\": ";
  EXPECT_EQ(e.Message().rfind(start, 0), 0u) << e.Message();
  EXPECT_GT(e.Message().size(), start.size() + 16) << "the system's reason is missing";
  const std::string tag = " <# " + className + " #>";
  EXPECT_EQ(e.Message().substr(e.Message().size() - tag.size()), tag);
}

TEST_F(TrialBackupTest, AStuckOldFileEndsAtOnceWithTheDeletionError) {
  UseTemplate("check-small", 2000);
  const std::string folder = sandbox_->DataDir() + "/locked";
  fs::create_directories(folder);
  backup_ = folder + "/VELMAR.db_backup";
  std::ofstream(backup_) << "left over from an earlier run";
  ImmutableFolder locked(folder);
  if (!locked.Ok())
    GTEST_SKIP() << "the file system cannot make a folder immutable";

  // Were the file waited for, the operator would give up once the window says so.
  ViewerWatch watch(/*cancel=*/true, /*cancelAtLine=*/20);
  std::vector<std::string> verboseLog;
  const auto start = std::chrono::steady_clock::now();
  try {
    Backup(verboseLog, /*showProgress=*/true);
    FAIL() << "the backup ran over an old file it could not delete";
  } catch (const Exception& e) {
    ExpectDeletionError(e, backup_);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_FALSE(watch.Line(20)) << "a file this run did not write was waited for";
  EXPECT_TRUE(verboseLog.empty());
  const auto records = sandbox_->Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].text.rfind("Ошибка создания резервной копии: Ошибка при удалении файла", 0),
            0u);
  EXPECT_TRUE(fs::exists(backup_));
}

TEST_F(TrialBackupTest, AFileTheBackupWroteButCannotBeDeletedIsReportedNotWaitedFor) {
  UseTemplate("check-medium", 60000);
  const std::string folder = sandbox_->DataDir() + "/locked";
  fs::create_directories(folder);
  backup_ = folder + "/VELMAR.db_backup";
  // However the test ends, no viewer may call the hook any more and the folder is freed.
  struct Cleanup {
    std::string folder;
    ~Cleanup() {
      SetViewerCycleHook(nullptr);
      WaitForViewerThreads(5000);
      std::system(("chattr -i '" + folder + "' 2>/dev/null").c_str());
    }
  } cleanup{folder};
  // As soon as the server has made the file, nobody may delete it any more. Were the file
  // waited for, the operator would give up once the window says so.
  std::atomic<bool> armed{true};
  std::atomic<bool> locked{false};
  SetViewerCycleHook([&](TProgressViewer& viewer) {
    if (viewer.GetCaption() != kCaption)
      return;
    if (armed.exchange(false)) {
      for (int i = 0; i < 10000 && !fs::exists(backup_); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      locked = std::system(("chattr +i '" + folder + "' 2>/dev/null").c_str()) == 0;
    } else if (HasLine(viewer, 20)) {
      viewer.Cancel();
    }
  });
  std::vector<std::string> verboseLog;
  try {
    Backup(verboseLog, /*showProgress=*/true);
    ADD_FAILURE() << "a file that stayed behind was not reported";
  } catch (const Exception& e) {
    // The backup itself was good: the check keeps its verdict and only notes the file.
    ExpectDeletionError(e, backup_, "EBackupFileLeftBehind");
  }
  if (!locked)
    GTEST_SKIP() << "the file system cannot make a folder immutable";
  ASSERT_FALSE(verboseLog.empty());
  EXPECT_NE(verboseLog.back().find("closing file, committing, and finishing"), std::string::npos);
  const auto records = sandbox_->Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].text.rfind("Ошибка создания резервной копии: Ошибка при удалении файла", 0),
            0u);
}

}  // namespace
