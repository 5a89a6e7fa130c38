// Small helpers for reading and copying parts of open files.
#pragma once

#include <cstdint>

#include "os/File.h"

// Reads exactly `count` bytes from `offset`; throws EFileError when the file is shorter.
void ReadAt(os::File& file, std::int64_t offset, void* buffer, std::size_t count);
// Copies the bytes from `from` to the end of `source` to the current position of `target`.
void CopyTail(os::File& source, std::int64_t from, os::File& target);
