// The X font library keeps process-wide lists (its per-display records, reordered on every
// lookup) without locks of its own. Every thread that draws or measures text through it, the
// progress windows and the main window's toolkit alike, holds this lock while it does.
// Recursive, because toolkit drawing can nest inside toolkit event handling. Windows drawing
// needs no such lock; there it is simply never contended.
#pragma once

#include <mutex>

std::recursive_mutex& TextDrawingLock();
