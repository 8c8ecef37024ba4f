#pragma once

#include <filesystem>
#include <vector>

class QWidget;

namespace ferrocase {

// Every regular file below the folders, listed with a progress box the user may cancel, once the
// user agreed to queue them; nothing when the user cancelled or declined, or there is none.
std::vector<std::filesystem::path>
files_in_dropped_folders(QWidget* parent, const std::vector<std::filesystem::path>& folders);

} // namespace ferrocase
