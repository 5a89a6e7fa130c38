// Tells a window that the log has a new record (a posted message with both parameters 0).
#pragma once

#include <cstdint>

void PostLogNotify(std::uintptr_t window, std::uint32_t message);
