#pragma once

#include "file_system/file_system.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace ferrocase::cli {

// Gives up what the recovery records hold of each file: an interrupted encryption that cannot be
// finished, or a finished one a rerun would skip, so that the next run encrypts the file as it
// is now. 0 when every file had something recorded, 1 otherwise.
int forget_files(const std::vector<std::string>& files, FileSystem& fs,
                 const std::filesystem::path& journal_folder, std::ostream& out, std::ostream& err);

} // namespace ferrocase::cli
