#include "log/PostNotify.h"

// X has no per-window message queue to post to; a reader polls RecentLines instead.
void PostLogNotify(std::uintptr_t, std::uint32_t) {}
