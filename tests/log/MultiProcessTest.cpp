// Several processes with two threads each write one log while size control cuts it.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "log/HuxLogger.h"
#include "os/Files.h"
#include "tests/log/LogTestSupport.h"

namespace {

struct Parsed {
  int writer = -1, thread = -1, number = -1;
};

// "<stamp> w=<id> t=<thread> n=<number> <60 equal letters>", nothing else.
bool ParseRecord(const std::string& line, Parsed& out) {
  std::string rest;
  if (!logtest::HasStamp(line, &rest))
    return false;
  char filler[64] = {};
  int used = 0;
  if (std::sscanf(rest.c_str(), " w=%d t=%d n=%d %63s%n", &out.writer, &out.thread, &out.number,
                  filler, &used) != 4)
    return false;
  const std::string fill(60, static_cast<char>('a' + out.thread % 26));
  return used == static_cast<int>(rest.size()) && filler == fill;
}

TEST(HuxLoggerShared, ProcessesAndThreadsWriteWholeLinesWhileTheLogIsCut) {
  constexpr int kWriters = 4;
  constexpr int kThreads = 2;
  constexpr int kRecords = 1500;
  constexpr std::int64_t kMaxSize = 64 * 1024;
  logtest::ScratchDir dir;
  const std::string path = dir / "shared.log";
  const std::string go = dir / "go";
  {
    std::vector<std::unique_ptr<logtest::ChildProcess>> children;
    for (int w = 0; w < kWriters; ++w)
      children.push_back(logtest::ChildProcess::Start(
          logtest::SiblingProgram("log_child_writer"),
          {path, std::to_string(w), std::to_string(kRecords), std::to_string(kThreads),
           std::to_string(kMaxSize), go, "1"}));
    logtest::WriteBytes(go, "");
    for (auto& child : children)
      EXPECT_EQ(child->Wait(), 0);
  }
  const std::string bytes = logtest::ReadBytes(path);
  // Cut regularly: never above the threshold, never below what a cut keeps.
  EXPECT_LE(static_cast<std::int64_t>(bytes.size()), kMaxSize + kMaxSize / 3);
  EXPECT_GE(static_cast<std::int64_t>(bytes.size()), kMaxSize);
  std::string rest;
  const auto lines = logtest::SplitRecords(bytes, &rest);
  EXPECT_EQ(rest, "");
  std::map<std::pair<int, int>, int> last;  // (writer, thread) -> last number seen
  for (size_t i = 0; i < lines.size(); ++i) {
    Parsed p;
    ASSERT_TRUE(ParseRecord(lines[i], p)) << "line " << i << ": " << lines[i];
    const auto key = std::make_pair(p.writer, p.thread);
    const auto seen = last.find(key);
    if (seen != last.end()) {
      ASSERT_EQ(p.number, seen->second + 1) << "gap or disorder at line " << i;
    }
    last[key] = p.number;
  }
  // Cuts take from the front only: a thread seen in the file has its newest record there.
  EXPECT_GE(last.size(), 2u);
  for (const auto& [key, number] : last)
    EXPECT_EQ(number, kRecords - 1);
  // No temporary file of a cut is left behind.
  EXPECT_EQ(logtest::FileNamesIn(dir.Path()), (std::vector<std::string>{"go", "shared.log"}));
}

}  // namespace
