// Text helpers shared by the record line and the failure report.
#pragma once

#include <string>

// Without leading and trailing white space and control characters (every byte up to ' ').
std::string TrimLogText(const std::string& text);
