#include "cli/file_list.h"

#include "cli/shown_name.h"
#include "folders/folder_walk.h"

namespace ferrocase::cli {

FileList list_files(const std::vector<std::string>& arguments, bool recursive,
                    const std::filesystem::path& state_folder) {
    FileList list;
    for (const std::string& argument : arguments) {
        std::error_code ignored;
        // Anything else, a missing file too, fails in the run with the system's reason.
        if (!std::filesystem::is_directory(argument, ignored)) {
            list.files.push_back(argument);
            continue;
        }
        if (!recursive) {
            list.failures.push_back("could not open " + shown_name(argument) +
                                    ": is a folder; use -r to take the files below it");
            continue;
        }
        const FolderWalk walk = walk_folder(argument, state_folder);
        for (const auto& file : walk.files) {
            list.files.push_back(file.string());
        }
        if (walk.error) {
            list.failures.push_back("could not read the folder " +
                                    shown_name(walk.failed_path.native()) + ": " +
                                    walk.error.message());
        }
    }
    return list;
}

} // namespace ferrocase::cli
