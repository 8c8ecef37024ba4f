#pragma once

#include <filesystem>
#include <string>

namespace ferrocase {

// A hidden, unique name for a file that will replace `target`. It is short whatever the target's
// name, so it fits where the target's name is already at the file system's limit, and it says
// which target it belongs to, so that a leftover can be found again.
std::string temporary_name(const std::filesystem::path& target);

bool is_temporary_name_of(const std::filesystem::path& name, const std::filesystem::path& target);

} // namespace ferrocase
