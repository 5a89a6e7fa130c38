#include "tests/support/StandinScript.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <stdexcept>

namespace standin {

namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos)
    return "";
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  std::string word;
  while (in >> word)
    words.push_back(word);
  return words;
}

[[noreturn]] void Fail(int lineNumber, const std::string& what) {
  throw std::runtime_error("standin script line " + std::to_string(lineNumber) + ": " + what);
}

int ParseNumber(const std::string& text, int lineNumber) {
  try {
    std::size_t used = 0;
    int value = std::stoi(text, &used);
    if (used != text.size())
      Fail(lineNumber, "not a number: " + text);
    return value;
  } catch (const std::logic_error&) {
    Fail(lineNumber, "not a number: " + text);
  }
}

Section ParseHeader(const std::string& inside, int lineNumber) {
  std::vector<std::string> words = Words(inside);
  if (words.empty())
    Fail(lineNumber, "a section needs a tool name or *");
  Section section;
  section.tool = Lower(words[0]);
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (words[i].size() > 1 && words[i][0] == '#') {
      section.occurrence = ParseNumber(words[i].substr(1), lineNumber);
    } else {
      section.words.push_back(words[i]);
    }
  }
  return section;
}

void AddInstruction(Section& section, const std::string& key, const std::string& value,
                    int lineNumber) {
  using Kind = Action::Kind;
  if (key == "out" || key == "err") {
    section.actions.push_back({key == "out" ? Kind::Out : Kind::Err, value, {}, {}, 0});
  } else if (key == "file") {
    section.actions.push_back({Kind::File, Trim(value), {}, {}, 0});
  } else if (key == "line") {
    if (section.actions.empty() || section.actions.back().kind != Kind::File) {
      Fail(lineNumber, "\"line:\" must follow \"file:\" or another \"line:\"");
    }
    section.actions.back().lines.push_back(value);
  } else if (key == "copy") {
    const auto bar = value.find('|');
    if (bar == std::string::npos)
      Fail(lineNumber, "copy needs \"<from> | <to>\"");
    section.actions.push_back(
        {Kind::Copy, Trim(value.substr(0, bar)), Trim(value.substr(bar + 1)), {}, 0});
  } else if (key == "delete") {
    section.actions.push_back({Kind::Delete, Trim(value), {}, {}, 0});
  } else if (key == "sleep") {
    section.actions.push_back({Kind::Sleep, {}, {}, {}, ParseNumber(Trim(value), lineNumber)});
  } else if (key == "exit") {
    section.exitCode = ParseNumber(Trim(value), lineNumber);
  } else if (key == "encoding") {
    const std::string name = Lower(Trim(value));
    if (name == "utf8") {
      section.encoding = Encoding::Utf8;
    } else if (name == "ansi") {
      section.encoding = Encoding::Ansi;
    } else if (name == "oem") {
      section.encoding = Encoding::Oem;
    } else {
      Fail(lineNumber, "unknown encoding " + name);
    }
  } else {
    Fail(lineNumber, "unknown instruction \"" + key + "\"");
  }
}

// "127.0.0.1/3050:C:\DB\A.FDB" -> "C:\DB\A.FDB"; anything else unchanged.
std::string WithoutServerPrefix(const std::string& argument) {
  const auto slash = argument.find('/');
  if (slash == std::string::npos || slash == 0)
    return argument;
  std::size_t at = slash + 1;
  const std::size_t digits = at;
  while (at < argument.size() && std::isdigit(static_cast<unsigned char>(argument[at])))
    ++at;
  if (at == digits || at >= argument.size() || argument[at] != ':')
    return argument;
  return argument.substr(at + 1);
}

std::string ExpandToken(const std::string& token, const std::vector<std::string>& args) {
  if (token == "tab")
    return "\t";
  if (token == "args") {
    std::string joined;
    for (const auto& arg : args)
      joined += (joined.empty() ? "" : " ") + arg;
    return joined;
  }
  std::string name = token;
  bool pathOnly = false;
  if (name.size() > 5 && name.compare(name.size() - 5, 5, ":path") == 0) {
    pathOnly = true;
    name.resize(name.size() - 5);
  }
  std::string value;
  if (name == "last") {
    if (!args.empty())
      value = args.back();
  } else if (name.rfind("arg:", 0) == 0) {
    const std::string number = name.substr(4);
    if (number.empty() || !std::all_of(number.begin(), number.end(), ::isdigit)) {
      return "{" + token + "}";
    }
    const std::size_t index = std::stoul(number);
    if (index >= 1 && index <= args.size())
      value = args[index - 1];
  } else {
    return "{" + token + "}";  // not a token: left as written
  }
  return pathOnly ? WithoutServerPrefix(value) : value;
}

}  // namespace

Script ParseScript(const std::string& text) {
  Script script;
  std::istringstream in(text);
  std::string raw;
  int lineNumber = 0;
  while (std::getline(in, raw)) {
    ++lineNumber;
    if (!raw.empty() && raw.back() == '\r')
      raw.pop_back();
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#')
      continue;
    if (line[0] == '[') {
      if (line.back() != ']')
        Fail(lineNumber, "a section header ends with ]");
      script.sections.push_back(ParseHeader(line.substr(1, line.size() - 2), lineNumber));
      continue;
    }
    const auto colon = line.find(':');
    if (colon == std::string::npos)
      Fail(lineNumber, "expected \"key: value\"");
    if (script.sections.empty())
      Fail(lineNumber, "an instruction before the first section");
    // Texts keep their own leading and trailing blanks except the one after the colon.
    std::string value = raw.substr(raw.find(':') + 1);
    if (!value.empty() && value[0] == ' ')
      value.erase(0, 1);
    AddInstruction(script.sections.back(), Lower(Trim(line.substr(0, colon))), value, lineNumber);
  }
  return script;
}

const Section* SelectSection(const Script& script, const std::string& tool,
                             const std::vector<std::string>& args, int occurrence) {
  std::vector<std::string> lowerArgs;
  for (const auto& arg : args)
    lowerArgs.push_back(Lower(arg));
  for (const Section& section : script.sections) {
    if (section.tool != "*" && section.tool != Lower(tool))
      continue;
    if (section.occurrence != 0 && section.occurrence != occurrence)
      continue;
    const bool allPresent =
        std::all_of(section.words.begin(), section.words.end(), [&](const std::string& word) {
          return std::find(lowerArgs.begin(), lowerArgs.end(), Lower(word)) != lowerArgs.end();
        });
    if (allPresent)
      return &section;
  }
  return nullptr;
}

std::string Expand(const std::string& text, const std::vector<std::string>& args) {
  std::string result;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto open = text.find('{', at);
    const auto close = open == std::string::npos ? std::string::npos : text.find('}', open);
    if (close == std::string::npos) {
      result += text.substr(at);
      break;
    }
    result += text.substr(at, open - at);
    result += ExpandToken(text.substr(open + 1, close - open - 1), args);
    at = close + 1;
  }
  return result;
}

std::string ToolName(const std::string& programPath) {
  const auto slash = programPath.find_last_of("/\\");
  std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
  name = Lower(name);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0)
    name.resize(name.size() - 4);
  return name;
}

std::string CallRecord(const std::string& tool, const std::vector<std::string>& args) {
  std::string record = tool;
  for (const auto& arg : args)
    record += "\t" + arg;
  return record;
}

int CountCalls(const std::string& log, const std::string& tool) {
  std::istringstream in(log);
  std::string line;
  int count = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line == tool || line.rfind(tool + "\t", 0) == 0)
      ++count;
  }
  return count;
}

}  // namespace standin
