// On POSIX the program's texts, the terminal, files and tools all speak UTF-8, so the code
// page conversions are identities. Case mapping must not depend on the process locale (the
// program may run under "C"), so it uses its own table for the scripts the operator meets:
// Latin (with Latin-1 and Latin Extended-A), Greek and Cyrillic.
#include "os/CodePage.h"

#include <cstdint>

namespace os {

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one code point at `i` and advances `i`; invalid bytes come back as kInvalid and are
// passed through unchanged by the caller.
char32_t Decode(const std::string& s, std::size_t& i) {
  const auto byte = [&s](std::size_t at) { return static_cast<unsigned char>(s[at]); };
  const unsigned char lead = byte(i);
  int length = lead < 0x80           ? 1
               : (lead >> 5) == 0x6  ? 2
               : (lead >> 4) == 0xE  ? 3
               : (lead >> 3) == 0x1E ? 4
                                     : 0;
  if (length == 0 || i + length > s.size()) {
    ++i;
    return kInvalid;
  }
  char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
  for (int k = 1; k < length; ++k) {
    const unsigned char next = byte(i + k);
    if ((next & 0xC0) != 0x80) {
      ++i;
      return kInvalid;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  i += length;
  return cp;
}

void Encode(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Ranges where capital and small letters alternate (capital on the even code point).
bool InAlternatingRange(char32_t cp) {
  return (cp >= 0x0100 && cp <= 0x012F) || (cp >= 0x0132 && cp <= 0x0137) ||
         (cp >= 0x014A && cp <= 0x0177) || (cp >= 0x0460 && cp <= 0x0481) ||
         (cp >= 0x048A && cp <= 0x04BF) || (cp >= 0x04D0 && cp <= 0x04FF);
}

// Ranges where capital and small letters alternate with the capital on the odd code point.
bool InOddAlternatingRange(char32_t cp) {
  return (cp >= 0x0139 && cp <= 0x0148) || (cp >= 0x0179 && cp <= 0x017E) ||
         (cp >= 0x04C1 && cp <= 0x04CE);
}

char32_t ToLower(char32_t cp) {
  if (cp >= 'A' && cp <= 'Z')
    return cp + 32;
  if (cp < 0x80)
    return cp;
  if (cp >= 0x00C0 && cp <= 0x00DE && cp != 0x00D7)
    return cp + 32;
  if (InAlternatingRange(cp))
    return cp | 1;
  if (InOddAlternatingRange(cp))
    return (cp & 1) ? cp + 1 : cp;
  if (cp == 0x0178)
    return 0x00FF;
  if (cp >= 0x0391 && cp <= 0x03AB && cp != 0x03A2)
    return cp + 32;  // Greek
  if (cp == 0x0386)
    return 0x03AC;
  if (cp >= 0x0388 && cp <= 0x038A)
    return cp + 37;
  if (cp == 0x038C)
    return 0x03CC;
  if (cp == 0x038E || cp == 0x038F)
    return cp + 63;
  if (cp >= 0x0410 && cp <= 0x042F)
    return cp + 32;  // А..Я
  if (cp >= 0x0400 && cp <= 0x040F)
    return cp + 80;  // Ѐ..Џ, Ё among them
  if (cp == 0x04C0)
    return 0x04CF;
  return cp;
}

char32_t ToUpper(char32_t cp) {
  if (cp >= 'a' && cp <= 'z')
    return cp - 32;
  if (cp < 0x80)
    return cp;
  if (cp >= 0x00E0 && cp <= 0x00FE && cp != 0x00F7)
    return cp - 32;
  if (cp == 0x00FF)
    return 0x0178;
  if (InAlternatingRange(cp))
    return cp & ~char32_t{1};
  if (InOddAlternatingRange(cp))
    return (cp & 1) ? cp : cp - 1;
  if (cp >= 0x03B1 && cp <= 0x03CB && cp != 0x03C2)
    return cp - 32;  // Greek
  if (cp == 0x03C2)
    return 0x03A3;  // final sigma
  if (cp == 0x03AC)
    return 0x0386;
  if (cp >= 0x03AD && cp <= 0x03AF)
    return cp - 37;
  if (cp == 0x03CC)
    return 0x038C;
  if (cp == 0x03CD || cp == 0x03CE)
    return cp - 63;
  if (cp >= 0x0430 && cp <= 0x044F)
    return cp - 32;  // а..я
  if (cp >= 0x0450 && cp <= 0x045F)
    return cp - 80;  // ѐ..џ, ё among them
  if (cp == 0x04CF)
    return 0x04C0;
  return cp;
}

template <typename Map>
std::string MapCase(const std::string& text, Map map) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t start = i;
    const char32_t cp = Decode(text, i);
    if (cp == kInvalid) {
      out.append(text, start, i - start);
    } else {
      Encode(map(cp), out);
    }
  }
  return out;
}

}  // namespace

std::string Utf8ToAnsi(const std::string& utf8) {
  return utf8;
}
std::string AnsiToUtf8(const std::string& ansi) {
  return ansi;
}
std::string Utf8ToOem(const std::string& utf8) {
  return utf8;
}
std::string OemToUtf8(const std::string& oem) {
  return oem;
}

std::string CharactersOutsideCodePages(const std::string&) {
  return std::string();
}

std::string LowerCase(const std::string& utf8) {
  return MapCase(utf8, ToLower);
}
std::string UpperCase(const std::string& utf8) {
  return MapCase(utf8, ToUpper);
}

bool SameTextLocale(const std::string& a, const std::string& b) {
  return LowerCase(a) == LowerCase(b);
}

}  // namespace os
