#include "server/FbOnlineValidation.h"

#include <cctype>
#include <cstddef>
#include <cstdlib>
#include <optional>

#include "server/FbService.h"

namespace {

// Tags of the service manager's start block for the validate action (ibase.h).
constexpr std::uint8_t kActionValidate = 30;  // isc_action_svc_validate
constexpr std::uint8_t kDatabaseName = 106;   // isc_spb_dbname
constexpr std::uint8_t kTablesIncluded = 1;   // isc_spb_val_tab_incl
constexpr std::uint8_t kLockTimeout = 5;      // isc_spb_val_lock_timeout

constexpr char kRelation[] = "Relation ";
constexpr char kIsOk[] = " is ok";
constexpr char kErrorsFound[] = " ERRORS found";
constexpr char kLockFailed[] = "Acquire relation lock failed";
constexpr char kFinished[] = "Validation finished";

void PutString(std::vector<std::uint8_t>& block, std::uint8_t tag, const std::string& value) {
  if (value.size() > 0xFFFF)
    throw EFirebirdError("Слишком длинный параметр проверки базы данных");
  block.push_back(tag);
  block.push_back(static_cast<std::uint8_t>(value.size() & 0xFF));
  block.push_back(static_cast<std::uint8_t>(value.size() >> 8));
  block.insert(block.end(), value.begin(), value.end());
}

void PutInt(std::vector<std::uint8_t>& block, std::uint8_t tag, std::uint32_t value) {
  block.push_back(tag);
  for (int shift = 0; shift < 32; shift += 8)
    block.push_back(static_cast<std::uint8_t>(value >> shift));
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Every line starts with the server's clock ("10:45:38.13 ") and most end in a blank.
std::string WithoutClockAndBlanks(std::string line) {
  const bool clock = line.size() > 12 && line[2] == ':' && line[5] == ':' && line[8] == '.' &&
                     line[11] == ' ' && std::isdigit(static_cast<unsigned char>(line[0]));
  if (clock)
    line.erase(0, 12);
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
    line.pop_back();
  std::size_t first = 0;
  while (first < line.size() && std::isspace(static_cast<unsigned char>(line[first])))
    ++first;
  return line.substr(first);
}

// "Relation 129 (SALES)...": the rest after the opening parenthesis, or nothing.
std::optional<std::string> AfterRelationNumber(const std::string& line) {
  if (!StartsWith(line, kRelation))
    return std::nullopt;
  std::size_t at = sizeof kRelation - 1;
  const std::size_t digits = at;
  while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])))
    ++at;
  if (at == digits || line.compare(at, 2, " (") != 0)
    return std::nullopt;
  return line.substr(at + 2);
}

}  // namespace

void OnlineValidationOutput::Take(const std::string& rawLine) {
  const std::string line = WithoutClockAndBlanks(rawLine);
  if (line.empty())
    return;
  if (line == kFinished) {
    finished_ = true;
    return;
  }
  if (std::optional<std::string> rest = AfterRelationNumber(line)) {
    // A table's closing line: " is ok" or " : N ERRORS found" after the name's parenthesis.
    if (inTable_ && EndsWith(*rest, std::string(")") + kIsOk)) {
      inTable_ = false;
      return;
    }
    const std::size_t colon = rest->rfind(") : ");
    if (inTable_ && colon != std::string::npos && EndsWith(*rest, kErrorsFound)) {
      TableVerdict& table = tables_.back();
      table.errors = std::atoi(rest->c_str() + colon + 4);
      if (table.details.empty() && busy_) {
        table.state = TableState::Busy;
      } else {
        // Counted errors without a line of their own are damage all the same.
        table.state = TableState::Damaged;
      }
      inTable_ = false;
      return;
    }
    if (EndsWith(*rest, ")")) {
      tables_.push_back({rest->substr(0, rest->size() - 1), TableState::Ok, 0, {}});
      inTable_ = true;
      busy_ = false;
      return;
    }
  }
  if (inTable_) {
    if (line == kLockFailed) {
      busy_ = true;
    } else if (StartsWith(line, "Error:") || StartsWith(line, "Warning:")) {
      tables_.back().state = TableState::Damaged;
      tables_.back().details.push_back(line);
    }
    return;
  }
  if (line != "Validation started")
    other_.push_back(line);
}

std::string ExactTablesPattern(const std::vector<std::string>& names) {
  // Outside brackets these are all that stand for something else.
  static const std::string special = "\\_%|*+?{}()[]";
  std::string pattern;
  for (const std::string& name : names) {
    if (!pattern.empty())
      pattern += '|';
    for (char c : name) {
      if (special.find(c) != std::string::npos)
        pattern += '\\';
      pattern += c;
    }
  }
  return names.size() > 1 ? "(" + pattern + ")" : pattern;
}

OnlineValidationOutput RunOnlineValidation(
    const OnlineValidationRequest& request,
    const std::function<void(const std::string& table)>& onLine) {
  std::vector<std::uint8_t> block{kActionValidate};
  PutString(block, kDatabaseName, request.databaseFile);
  if (!request.tables.empty())
    PutString(block, kTablesIncluded, ExactTablesPattern(request.tables));
  PutInt(block, kLockTimeout, static_cast<std::uint32_t>(request.lockTimeoutSeconds));

  FbServiceConnection service;
  service.Attach(request.login.host, request.login.port, request.login.userName,
                 request.login.password);
  service.StartAction(block);
  OnlineValidationOutput output;
  while (std::optional<std::string> line = service.NextLine()) {
    output.Take(*line);
    onLine(output.CurrentTable());
  }
  service.Detach();
  if (!output.Finished()) {
    std::string text = "Сервер не закончил проверку базы данных";
    for (const std::string& other : output.Other())
      text += "\r\n" + other;
    throw EFirebirdError(text);
  }
  return output;
}
