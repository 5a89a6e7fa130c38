#include "os/Format.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

[[noreturn]] void InvalidFormat(const std::string& pattern) {
  throw EConvertError("Format '" + pattern + "' invalid or incompatible with argument");
}

[[noreturn]] void MissingArgument(const std::string& pattern) {
  throw EConvertError("No argument for format '" + pattern + "'");
}

struct Directive {
  bool leftJustify = false;
  int width = -1;
  int precision = -1;
  char kind = 0;  // lower-case conversion letter
};

std::string Pad(std::string text, const Directive& directive) {
  if (directive.width > 0 && static_cast<int>(text.size()) < directive.width) {
    const std::string fill(directive.width - text.size(), ' ');
    text = directive.leftJustify ? text + fill : fill + text;
  }
  return text;
}

std::string Digits(std::uint64_t value, int base) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value % base]);
    value /= base;
  } while (value != 0);
  return out;
}

// Precision on integers is the least number of digits, as the runtime does it.
std::string Integer(std::int64_t value, const Directive& directive) {
  const bool negative = directive.kind == 'd' && value < 0;
  std::uint64_t magnitude = static_cast<std::uint64_t>(value);
  if (negative)
    magnitude = 0 - magnitude;
  if (directive.kind == 'u')
    magnitude = static_cast<std::uint32_t>(value);
  std::string digits = Digits(magnitude, directive.kind == 'x' ? 16 : 10);
  if (directive.precision > static_cast<int>(digits.size()))
    digits.insert(0, directive.precision - digits.size(), '0');
  return negative ? "-" + digits : digits;
}

// Reads a decimal number or '*' (taken from the arguments).
int ReadCount(const std::string& pattern, size_t& i, const std::vector<FormatArg>& args,
              size_t& next) {
  if (i < pattern.size() && pattern[i] == '*') {
    ++i;
    if (next >= args.size())
      MissingArgument(pattern);
    const auto* value = std::get_if<std::int64_t>(&args[next++]);
    if (!value)
      InvalidFormat(pattern);
    return static_cast<int>(*value);
  }
  int count = 0;
  while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9') {
    count = count * 10 + (pattern[i] - '0');
    if (count > 1000000)
      InvalidFormat(pattern);
    ++i;
  }
  return count;
}

}  // namespace

std::string Format(const std::string& pattern, std::initializer_list<FormatArg> argList) {
  const std::vector<FormatArg> args(argList);
  std::string out;
  size_t next = 0;  // the argument an unindexed item takes
  size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i++];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i >= pattern.size())
      InvalidFormat(pattern);
    if (pattern[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    Directive directive;
    // "%<index>:" moves the argument pointer; later unindexed items go on from there.
    size_t digitsEnd = i;
    while (digitsEnd < pattern.size() && pattern[digitsEnd] >= '0' && pattern[digitsEnd] <= '9')
      ++digitsEnd;
    if (digitsEnd > i && digitsEnd < pattern.size() && pattern[digitsEnd] == ':') {
      next = static_cast<size_t>(ReadCount(pattern, i, args, next));
      ++i;
    }
    if (i < pattern.size() && pattern[i] == '-') {
      directive.leftJustify = true;
      ++i;
    }
    const size_t widthStart = i;
    const int width = ReadCount(pattern, i, args, next);
    if (i > widthStart)
      directive.width = width;
    if (i < pattern.size() && pattern[i] == '.') {
      ++i;
      directive.precision = ReadCount(pattern, i, args, next);
    }
    if (i >= pattern.size())
      InvalidFormat(pattern);
    char kind = pattern[i++];
    if (kind >= 'A' && kind <= 'Z')
      kind = static_cast<char>(kind - 'A' + 'a');
    directive.kind = kind;
    if (next >= args.size())
      MissingArgument(pattern);
    const FormatArg& arg = args[next++];
    switch (kind) {
      case 'd':
      case 'u':
      case 'x': {
        const auto* value = std::get_if<std::int64_t>(&arg);
        if (!value)
          InvalidFormat(pattern);
        out += Pad(Integer(*value, directive), directive);
        break;
      }
      case 's': {
        const auto* value = std::get_if<std::string>(&arg);
        if (!value)
          InvalidFormat(pattern);
        std::string text = *value;
        if (directive.precision >= 0 && static_cast<size_t>(directive.precision) < text.size())
          text.resize(directive.precision);
        out += Pad(text, directive);
        break;
      }
      default:
        // Floating-point, pointer and unknown conversions have no matching argument kind here.
        InvalidFormat(pattern);
    }
  }
  return out;
}
