#pragma once

#include <filesystem>
#include <string>

namespace ferrocase {

// The hidden name of a file that will replace `target`. It is short whatever the target's name,
// so it fits where the target's name is already at the file system's limit, and the same for the
// same target, so that a leftover of an interrupted run is found without searching the folder.
std::string temporary_name(const std::filesystem::path& target);

} // namespace ferrocase
