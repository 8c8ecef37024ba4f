#pragma once

#include <filesystem>
#include <system_error>

namespace ferrocase {

// Moves the file (a symbolic link itself, not what it points to) to the desktop's trash, from
// where the user can restore it. On any failure the file stays where it was.
std::error_code move_to_trash(const std::filesystem::path& path);

} // namespace ferrocase
