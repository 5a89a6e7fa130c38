// Process environment.
#pragma once

#include <optional>
#include <string>

namespace os {

std::optional<std::string> GetEnv(const std::string& name);
void SetEnv(const std::string& name, const std::string& value);

}  // namespace os
