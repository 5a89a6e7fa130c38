#include <windows.h>

#include "log/PostNotify.h"

void PostLogNotify(std::uintptr_t window, std::uint32_t message) {
  PostMessageW(reinterpret_cast<HWND>(window), message, 0, 0);
}
