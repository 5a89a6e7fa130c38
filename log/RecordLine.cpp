// The text of one record: time stamp, optional level character, tag, prefix and ids, text.
#include <string>

#include "log/HuxLogger.h"
#include "log/LogText.h"
#include "os/Process.h"

namespace {

// White space and control characters: every byte up to the space.
bool IsTrimmed(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

std::string TrimLogText(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsTrimmed(text[begin]))
    ++begin;
  while (end > begin && IsTrimmed(text[end - 1]))
    --end;
  return text.substr(begin, end - begin);
}

const std::string& LogLevelTag(std::uint8_t level) {
  static const std::string kTags[8] = {"",        " [инф]",   " [ошиб]",  " [сбой]",
                                       " [вним]", " [событ]", " [отлад]", " [другое]"};
  static const std::string kNone;
  return level < 8 ? kTags[level] : kNone;
}

std::string THuxLogger::BuildLine(std::string& text, TLogLevel level) const {
  text = TrimLogText(text);
  if (text.empty())
    return {};
  std::string line = FormatDateTime(dateTimeFormat_, os::LocalTimeNow());
  if (writeLevelChar_ && level < 8)
    line = std::string(1, kLogLevelChars[level]) + " " + line;
  if (writeLevelTag_)
    line += LogLevelTag(level);
  if (!prefix_.empty())
    line += " " + prefix_;
  const std::int64_t pid = os::CurrentProcessId();
  const std::int64_t tid = os::CurrentThreadId();
  if (writeProcessId_ && writeThreadId_) {
    line.append(" ").append(Format("<P:%d;T:%d>", {pid, tid}));
  } else if (writeProcessId_) {
    line.append(" ").append(Format("<P:%d>", {pid}));
  } else if (writeThreadId_) {
    line.append(" ").append(Format("<T:%d>", {tid}));
  }
  return line + " " + text;
}
