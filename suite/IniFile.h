// The few settings the stand-in library keeps in fbUtils.ini beside itself.
#pragma once

#include <optional>
#include <string>

namespace fbutils {

// The value of `key` in `section` of INI text; names compare without regard to ASCII case,
// values are trimmed. Nothing when the section or the key is absent.
std::optional<std::string> IniValue(const std::string& text, const std::string& section,
                                    const std::string& key);

// The text of fbUtils.ini in the library's own directory; empty when there is none.
std::string ReadIniBesideLibrary();

}  // namespace fbutils
