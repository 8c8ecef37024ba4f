#pragma once

#include "file_system/file_system.h"

#include <cstdint>
#include <filesystem>

namespace ferrocase {

bool exists(FileSystem& fs, const std::filesystem::path& path);

// Whether something at `path` holds other bytes than the first `length` bytes of `content`:
// nothing there holds none; what cannot be read counts as other.
bool holds_other_bytes(FileSystem& fs, const std::filesystem::path& path, RandomAccessFile& content,
                       std::int64_t length);

} // namespace ferrocase
