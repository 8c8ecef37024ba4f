#pragma once

#include "file_system/file_system.h"

#include <filesystem>
#include <vector>

class QWidget;

namespace ferrocase {

// What earlier runs left, told once at start: hidden files they left, which are removed; files
// they stopped part-way through encrypting, and how to finish them; and the files a stopped run
// never took, which the user may queue again. Returns the files to queue.
std::vector<std::filesystem::path>
tell_unfinished_encryptions(QWidget* parent, FileSystem& fs,
                            const std::filesystem::path& journal_folder);

} // namespace ferrocase
