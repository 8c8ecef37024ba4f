#pragma once

#include <filesystem>
#include <vector>

class QWidget;

namespace ferrocase {

// The files, then every regular file below the folders, each once. The folders are listed with a
// progress box the user may cancel, and their files are added once the user agreed to queue them;
// none when the user cancelled or declined.
std::vector<std::filesystem::path>
files_with_folder_contents(QWidget* parent, std::vector<std::filesystem::path> files,
                           const std::vector<std::filesystem::path>& folders);

} // namespace ferrocase
