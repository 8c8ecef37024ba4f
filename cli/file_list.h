#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ferrocase::cli {

struct FileList {
    std::vector<std::string> files;
    std::vector<std::string> failures; // one line each, names already made safe to print
};

// The files the arguments name, in their order: a folder stands for every regular file below it
// when `recursive` is set, and is a failure otherwise.
FileList list_files(const std::vector<std::string>& arguments, bool recursive,
                    const std::filesystem::path& state_folder);

} // namespace ferrocase::cli
