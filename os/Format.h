// Formatting with the runtime's rules: "%s", "%d", "%%", and the indexed forms "%0:s",
// "%1:d". A malformed pattern or an argument of the wrong kind throws EConvertError.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>

#include "os/Exception.h"

VELMAR_DECLARE_EXCEPTION(EConvertError, Exception);

using FormatArg = std::variant<std::string, std::int64_t>;

std::string Format(const std::string& pattern, std::initializer_list<FormatArg> args);
