// The session log as the operator's support reads it: records with their tag and text, cut
// into the runs of the program.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct SessionRecord {
  std::string stamp;  // "08.12.2026 20:00:16.068"; empty for a run's blank line
  std::string tag;    // "[ошиб]", "[событ]" or ""
  std::string text;   // further lines of the record joined with '\n'
};

// The records of a session log's UTF-8 text (line breaks LF or CR LF).
std::vector<SessionRecord> ParseSessionLog(const std::string& text);
// The session log file as UTF-8 (on Windows it is written in the ANSI code page).
std::string ReadSessionLog(const std::string& path);
// The records from the last "Программа запущена" on, that record excluded.
std::vector<SessionRecord> LastRun(const std::vector<SessionRecord>& records);
// Only the texts.
std::vector<std::string> Texts(const std::vector<SessionRecord>& records);
// The first record at or after `from` whose text starts with `prefix`; -1 when none.
int FindRecord(const std::vector<SessionRecord>& records, const std::string& prefix, int from = 0);
// The records for people reading a failure.
std::string Dump(const std::vector<SessionRecord>& records);

}  // namespace e2e
