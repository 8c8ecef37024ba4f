#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <system_error>

namespace ferrocase {

// A trash folder with its files/ and info/ folders. Its .trashinfo files give the original path
// relative to `base`, or absolute when `base` is empty.
struct TrashFolder {
    std::filesystem::path folder;
    std::filesystem::path base;
};

// The user's own trash: $XDG_DATA_HOME/Trash, by default ~/.local/share/Trash.
std::filesystem::path home_trash_folder();

// The trash of the file system whose top folder is `top`: the user's folder in a shared .Trash
// that an administrator made (sticky, not a link), otherwise .Trash-UID. Made where missing.
std::error_code top_folder_trash(const std::filesystem::path& top, uid_t uid, TrashFolder& trash);

// Moves the file into the trash under a name not yet taken there, after its .trashinfo.
std::error_code move_into_trash(const std::filesystem::path& path, const TrashFolder& trash);

// The name's bytes percent-encoded as in a URL, "/" kept: any byte at all survives the trip.
std::string percent_encoded(std::string_view bytes);

} // namespace ferrocase
