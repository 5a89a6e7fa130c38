// The session log writer: dated one-line records appended to a text file that several
// threads and processes may share.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "os/Format.h"

enum TLogLevel : std::uint8_t {
  llPlain = 0,
  llInfo = 1,
  llError = 2,
  llFailure = 3,
  llWarning = 4,
  llEvent = 5,
  llDebug = 6,
  llOther = 7,
};

class THuxLogger;  // defined by the log library (log/HuxLogger.*)

// Public use by the rest of the program (the log library completes this header):
//   THuxLogger log(fileName);
//   void Write(const std::string& text, TLogLevel level = llPlain);
//   void WriteFmt(const std::string& pattern, std::initializer_list<FormatArg> args,
//                 TLogLevel level = llPlain);
