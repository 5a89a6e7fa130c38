// Batch files expand %NAME% even inside double quotes, so a percent sign is doubled.
#include "server/ToolQuoting.h"

namespace toolquoting {

namespace {

std::string DoublePercents(const std::string& value) {
  std::string result;
  for (char c : value) {
    result += c;
    if (c == '%')
      result += '%';
  }
  return result;
}

// Characters that would end or redirect a bare argument of the command interpreter.
bool NeedsQuotes(const std::string& value) {
  return value.empty() || value.find_first_of(" \t&|<>^") != std::string::npos;
}

}  // namespace

std::string Quoted(const std::string& value) {
  return "\"" + DoublePercents(value) + "\"";
}

std::string Bare(const std::string& value) {
  // An ordinary password stays bare as the suite always wrote it; one holding `&` or `>`
  // would otherwise start a command of its own.
  return NeedsQuotes(value) ? Quoted(value) : DoublePercents(value);
}

}  // namespace toolquoting
