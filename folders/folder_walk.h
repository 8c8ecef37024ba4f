#pragma once

#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

namespace ferrocase {

struct FolderWalk {
    std::vector<std::filesystem::path> files; // in a stable order: by name, folder by folder
    std::filesystem::path failed_path;        // set when part of the tree could not be read
    std::error_code error;
    bool cancelled = false;
};

// Every regular file below `folder`. Symbolic links are not followed, folders on another file
// system are not entered, and neither are the program's own temporary files nor `state_folder`
// taken. `keep_going` is asked now and then with the number of files found so far; false stops
// the walk.
FolderWalk walk_folder(const std::filesystem::path& folder,
                       const std::filesystem::path& state_folder,
                       const std::function<bool(std::size_t)>& keep_going = {});

// Whether the name is one a file being replaced has while it is written.
bool is_temporary_name(const std::filesystem::path& name);

} // namespace ferrocase
