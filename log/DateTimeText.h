// Date-time values as the log stores them (days since 30.12.1899, local time, the fraction
// is the time of day) and their text form under the log's own format settings.
#pragma once

#include <string>

#include "os/Time.h"

using TDateTime = double;

struct TLogFormatSettings {
  std::string shortDateFormat = "dd/mm/yyyy";
  std::string longTimeFormat = "hh:nn:ss.zzz";
  char dateSeparator = '.';
  char timeSeparator = ':';
  char decimalSeparator = '.';
};

// The settings every logger formats and reads its time stamps with.
const TLogFormatSettings& LogFormatSettings();

TDateTime EncodeDateTime(const os::LocalTime& t);
os::LocalTime DecodeDateTime(TDateTime value);
TDateTime NowDateTime();

// "dd/mm/yyyy hh:nn:ss.zzz" and the like: d, dd, m, mm (minutes right after an hour), yy,
// yyyy, h, hh, n, nn, s, ss, z, zzz, '/' and ':' for the separators, quoted literals.
std::string FormatDateTime(const std::string& format, const os::LocalTime& t,
                           const TLogFormatSettings& settings = LogFormatSettings());

// Reads "date [time]" or "time" in the settings' day/month/year order with its separators
// and milliseconds after the decimal separator. A value without a date gets `today`.
bool TryStrToDateTime(const std::string& text, TDateTime today, TDateTime& value,
                      const TLogFormatSettings& settings = LogFormatSettings());
