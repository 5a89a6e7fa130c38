#include "log/DateTimeText.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

constexpr std::int64_t kMsPerDay = 86400000;

// Days from 1 Jan 1970 for a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

const std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

std::string Number(int value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", digits, value);
  return buffer;
}

size_t RunLength(const std::string& s, size_t i) {
  const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
  size_t n = 1;
  while (i + n < s.size() && std::tolower(static_cast<unsigned char>(s[i + n])) == c)
    ++n;
  return n;
}

bool ReadNumber(const std::string& s, size_t& i, int maxDigits, int& value) {
  const size_t start = i;
  value = 0;
  while (i < s.size() && i - start < static_cast<size_t>(maxDigits) &&
         std::isdigit(static_cast<unsigned char>(s[i])))
    value = value * 10 + (s[i++] - '0');
  return i > start;
}

void SkipSpaces(const std::string& s, size_t& i) {
  while (i < s.size() && s[i] == ' ')
    ++i;
}

// Day, month and year positions from the short date format's order of 'd', 'm' and 'y'.
void DateOrder(const std::string& format, int order[3]) {
  int n = 0;
  char last = 0;
  for (char c : format) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if ((c == 'd' || c == 'm' || c == 'y') && c != last && n < 3)
      order[n++] = c;
    if (c == 'd' || c == 'm' || c == 'y')
      last = c;
  }
  if (n < 3)
    order[0] = 'd', order[1] = 'm', order[2] = 'y';
}

bool ScanDate(const std::string& s, size_t& i, const TLogFormatSettings& fs, TDateTime& date) {
  int parts[3];
  int count = 0;
  size_t at = i;
  while (count < 3) {
    if (!ReadNumber(s, at, 4, parts[count]))
      break;
    ++count;
    if (at < s.size() && s[at] == fs.dateSeparator && count < 3) {
      ++at;
    } else {
      break;
    }
  }
  if (count < 3)
    return false;
  int order[3];
  DateOrder(fs.shortDateFormat, order);
  int day = 0, month = 0, year = 0;
  for (int k = 0; k < 3; ++k) {
    if (order[k] == 'd')
      day = parts[k];
    if (order[k] == 'm')
      month = parts[k];
    if (order[k] == 'y')
      year = parts[k];
  }
  if (year < 100)
    year += 2000;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  date = static_cast<TDateTime>(DaysFromCivil(year, month, day) - kEpochDays);
  i = at;
  return true;
}

bool ScanTime(const std::string& s, size_t& i, const TLogFormatSettings& fs, TDateTime& time) {
  size_t at = i;
  int hour = 0, minute = 0, second = 0, ms = 0;
  if (!ReadNumber(s, at, 2, hour) || at >= s.size() || s[at] != fs.timeSeparator)
    return false;
  ++at;
  if (!ReadNumber(s, at, 2, minute))
    return false;
  if (at < s.size() && s[at] == fs.timeSeparator) {
    ++at;
    if (!ReadNumber(s, at, 2, second))
      return false;
    if (at < s.size() && s[at] == fs.decimalSeparator) {
      ++at;
      const size_t start = at;
      if (!ReadNumber(s, at, 3, ms))
        return false;
      for (size_t n = at - start; n < 3; ++n)
        ms *= 10;
    }
  }
  if (hour > 23 || minute > 59 || second > 59)
    return false;
  time = static_cast<TDateTime>(((hour * 60 + minute) * 60 + second) * 1000 + ms) / kMsPerDay;
  i = at;
  return true;
}

}  // namespace

const TLogFormatSettings& LogFormatSettings() {
  static const TLogFormatSettings settings;
  return settings;
}

TDateTime EncodeDateTime(const os::LocalTime& t) {
  const std::int64_t days = DaysFromCivil(t.year, t.month, t.day) - kEpochDays;
  const std::int64_t ms = ((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond;
  return static_cast<TDateTime>(days) + static_cast<TDateTime>(ms) / kMsPerDay;
}

os::LocalTime DecodeDateTime(TDateTime value) {
  // Rounding to whole milliseconds first keeps 11.123 from turning into 11.122.
  const std::int64_t total = std::llround(value * kMsPerDay);
  std::int64_t days = total / kMsPerDay;
  std::int64_t ms = total % kMsPerDay;
  if (ms < 0)
    ms += kMsPerDay, --days;
  os::LocalTime t{};
  CivilFromDays(days + kEpochDays, t.year, t.month, t.day);
  t.millisecond = static_cast<int>(ms % 1000);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.hour = static_cast<int>(ms / 3600000);
  return t;
}

TDateTime NowDateTime() {
  return EncodeDateTime(os::LocalTimeNow());
}

std::string FormatDateTime(const std::string& format, const os::LocalTime& t,
                           const TLogFormatSettings& fs) {
  const std::string& f = format.empty() ? fs.shortDateFormat + " " + fs.longTimeFormat : format;
  std::string out;
  bool afterHour = false;  // "m" right after an hour means minutes
  size_t i = 0;
  while (i < f.size()) {
    const char c = f[i];
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c == '"' || c == '\'') {
      const size_t end = f.find(c, i + 1);
      const size_t stop = end == std::string::npos ? f.size() : end;
      out += f.substr(i + 1, stop - i - 1);
      i = stop == f.size() ? stop : stop + 1;
      continue;
    }
    if (c == '/') {
      out += fs.dateSeparator;
      ++i;
      continue;
    }
    if (c == ':') {
      out += fs.timeSeparator;
      ++i;
      continue;
    }
    if (lower != 'd' && lower != 'm' && lower != 'y' && lower != 'h' && lower != 'n' &&
        lower != 's' && lower != 'z') {
      out += c;
      ++i;
      continue;
    }
    const size_t n = RunLength(f, i);
    switch (lower) {
      case 'd':
        out += Number(t.day, n >= 2 ? 2 : 1);
        break;
      case 'm':
        out += afterHour ? Number(t.minute, n >= 2 ? 2 : 1) : Number(t.month, n >= 2 ? 2 : 1);
        break;
      case 'y':
        out += n <= 2 ? Number(t.year % 100, 2) : Number(t.year, 4);
        break;
      case 'h':
        out += Number(t.hour, n >= 2 ? 2 : 1);
        break;
      case 'n':
        out += Number(t.minute, n >= 2 ? 2 : 1);
        break;
      case 's':
        out += Number(t.second, n >= 2 ? 2 : 1);
        break;
      case 'z':
        out += n >= 3 ? Number(t.millisecond, 3) : std::to_string(t.millisecond);
        break;
    }
    afterHour = lower == 'h';
    i += n;
  }
  return out;
}

bool TryStrToDateTime(const std::string& text, TDateTime today, TDateTime& value,
                      const TLogFormatSettings& fs) {
  size_t i = 0;
  SkipSpaces(text, i);
  TDateTime date = 0;
  TDateTime time = 0;
  const bool hasDate = ScanDate(text, i, fs, date);
  SkipSpaces(text, i);
  const bool hasTime = ScanTime(text, i, fs, time);
  SkipSpaces(text, i);
  if (i != text.size() || (!hasDate && !hasTime))
    return false;
  value = (hasDate ? date : std::floor(today)) + time;
  return true;
}
