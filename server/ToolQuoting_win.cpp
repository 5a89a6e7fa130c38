// A value passes two readers on its way to the tool: the command interpreter reads the batch
// file (it expands %NAME% even inside double quotes, so a percent sign is doubled, and it
// takes & | < > ^ as its own outside double quotes), then the tool's runtime splits its
// command line into arguments (inside double quotes a backslash run before a quote is halved
// and \" stands for a quote of the value).
#include "server/ToolQuoting.h"

#include "os/Exception.h"

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

// The value in double quotes as the tool's runtime reads it back: backslashes before a quote
// (or before the closing quote) doubled, each quote of the value written as \".
std::string RuntimeQuoted(const std::string& value) {
  std::string result = "\"";
  std::size_t backslashes = 0;
  for (char c : value) {
    if (c == '\\') {
      ++backslashes;
    } else {
      if (c == '"')
        result.append(backslashes + 1, '\\');
      backslashes = 0;
    }
    result += c;
  }
  result.append(backslashes, '\\');
  return result + "\"";
}

// The command interpreter must see no quote at all: every quote is escaped with ^, so it
// never enters a quoted stretch, and so are its own characters.
std::string EscapedForInterpreter(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '"' || c == '&' || c == '|' || c == '<' || c == '>' || c == '^' || c == '(' ||
        c == ')')
      result += '^';
    result += c;
  }
  return result;
}

}  // namespace

std::string Quoted(const std::string& value) {
  return DoublePercents(RuntimeQuoted(value));
}

std::string Bare(const std::string& value) {
  // A batch file ends a command at a line break: nothing can carry one.
  if (value.find_first_of("\r\n") != std::string::npos) {
    throw Exception(
        "Пароль администратора сервера содержит перевод строки и не может быть передан "
        "программам сервера");
  }
  // A quote of the value would turn the interpreter's reading of everything after it upside
  // down (the redirections included); escaped, it reaches the tool.
  if (value.find('"') != std::string::npos)
    return DoublePercents(EscapedForInterpreter(RuntimeQuoted(value)));
  // An ordinary password stays bare as the suite always wrote it; one holding `&` or `>`
  // would otherwise start a command of its own.
  return NeedsQuotes(value) ? Quoted(value) : DoublePercents(value);
}

}  // namespace toolquoting
