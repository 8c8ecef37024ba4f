#include "folders/folder_walk.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string_view>
#include <sys/stat.h>

namespace ferrocase {
namespace {

struct DeviceAndInode {
    dev_t device;
    ino_t inode;
    bool operator==(const DeviceAndInode&) const = default;
};

std::optional<DeviceAndInode> identity_of(const std::filesystem::path& path, bool follow) {
    struct stat status {};
    if ((follow ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status)) != 0) {
        return std::nullopt;
    }
    return DeviceAndInode{status.st_dev, status.st_ino};
}

} // namespace

bool is_temporary_name(const std::filesystem::path& name) {
    // ".", sixteen hexadecimal digits, ".ferrocase-part": what temporary_name() makes.
    constexpr std::string_view suffix = ".ferrocase-part";
    constexpr std::size_t digits = 16;
    const std::string text = name.filename().native();
    if (text.size() != 1 + digits + suffix.size() || text[0] != '.' || !text.ends_with(suffix)) {
        return false;
    }
    return std::all_of(text.begin() + 1, text.begin() + 1 + digits,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

FolderWalk walk_folder(const std::filesystem::path& folder,
                       const std::filesystem::path& state_folder,
                       const std::function<bool(std::size_t)>& keep_going) {
    namespace fs = std::filesystem;
    FolderWalk walk;
    // The folder itself may be reached through a link, as a file named on its own may.
    const auto top = identity_of(folder, true);
    if (!top) {
        walk.failed_path = folder;
        walk.error = std::error_code(errno, std::generic_category());
        return walk;
    }
    const auto state = identity_of(state_folder, true);
    fs::recursive_directory_iterator entry(folder, walk.error);
    // An iterator that fails becomes the end; the entry before it names the folder it could not
    // open or finish.
    fs::path last_folder = folder;
    for (; !walk.error && entry != fs::recursive_directory_iterator();
         entry.increment(walk.error)) {
        const fs::file_status status = entry->symlink_status(walk.error);
        if (walk.error) {
            walk.failed_path = entry->path();
            return walk;
        }
        if (fs::is_directory(status)) {
            const auto identity = identity_of(entry->path(), false);
            if (!identity || identity->device != top->device || identity == state) {
                entry.disable_recursion_pending();
            } else {
                last_folder = entry->path();
            }
        } else if (fs::is_regular_file(status) && !is_temporary_name(entry->path())) {
            walk.files.push_back(entry->path());
            if (keep_going && walk.files.size() % 256 == 0 && !keep_going(walk.files.size())) {
                walk.cancelled = true;
                return walk;
            }
        }
    }
    if (walk.error) {
        walk.failed_path = last_folder;
    }
    // Path comparison goes name by name, so a folder's files stay together.
    std::sort(walk.files.begin(), walk.files.end());
    return walk;
}

} // namespace ferrocase
