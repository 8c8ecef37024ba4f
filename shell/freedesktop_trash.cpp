#include "shell/freedesktop_trash.h"

#include "shell/trash.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace ferrocase {
namespace {

namespace fs = std::filesystem;

std::error_code last_error() {
    return {errno, std::generic_category()};
}

// There afterwards, made with owner-only access where missing: a real folder, not a link, and
// the user's own, so that no one else can read or swap what is trashed there.
std::error_code private_folder(const fs::path& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return last_error();
    }
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0) {
        return last_error();
    }
    if (!S_ISDIR(status.st_mode)) {
        return make_error_code(std::errc::not_a_directory);
    }
    return status.st_uid == ::getuid() ? std::error_code()
                                       : make_error_code(std::errc::permission_denied);
}

std::error_code make_trash_folders(const fs::path& trash) {
    for (const fs::path& folder : {trash, trash / "files", trash / "info"}) {
        if (const auto error = private_folder(folder)) {
            return error;
        }
    }
    return {};
}

// The device that a folder made at `path` would live on: that of its nearest existing part.
std::optional<dev_t> device_at(fs::path path) {
    for (struct stat status{}; !path.empty(); path = path.parent_path()) {
        if (::lstat(path.c_str(), &status) == 0) {
            return status.st_dev;
        }
        if (path == path.parent_path()) {
            break;
        }
    }
    return std::nullopt;
}

// The highest folder above `folder` (absolute, links resolved) on the same device.
fs::path top_folder_of(fs::path folder, dev_t device) {
    while (folder.has_relative_path()) {
        struct stat status {};
        const fs::path parent = folder.parent_path();
        if (::stat(parent.c_str(), &status) != 0 || status.st_dev != device) {
            break;
        }
        folder = parent;
    }
    return folder;
}

// A second "a.txt.fxe" in the trash becomes "a.txt.2.fxe", keeping its type for the trash's view.
std::string numbered(const std::string& name, int number) {
    if (number == 1) {
        return name;
    }
    const auto dot = name.rfind('.');
    const auto split = dot == std::string::npos || dot == 0 ? name.size() : dot;
    return name.substr(0, split) + "." + std::to_string(number) + name.substr(split);
}

std::string deletion_date() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

std::error_code write_all(int descriptor, const std::string& text) {
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t step = ::write(descriptor, text.data() + written, text.size() - written);
        if (step < 0 && errno != EINTR) {
            return last_error();
        }
        written += step > 0 ? static_cast<std::size_t>(step) : 0;
    }
    return {};
}

} // namespace

std::string percent_encoded(std::string_view bytes) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string text;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if ((code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z') ||
            (code >= '0' && code <= '9') ||
            std::string_view("-._~/").find(byte) != std::string_view::npos) {
            text += byte;
        } else {
            text += '%';
            text += hex[code >> 4];
            text += hex[code & 0xF];
        }
    }
    return text;
}

fs::path home_trash_folder() {
    const char* data_home = std::getenv("XDG_DATA_HOME");
    if (data_home && data_home[0] == '/') {
        return fs::path(data_home) / "Trash";
    }
    const char* home = std::getenv("HOME");
    return home && home[0] == '/' ? fs::path(home) / ".local/share/Trash" : fs::path();
}

std::error_code top_folder_trash(const fs::path& top, uid_t uid, TrashFolder& trash) {
    const std::string user = std::to_string(uid);
    struct stat shared {};
    if (::lstat((top / ".Trash").c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX) != 0) {
        trash = {top / ".Trash" / user, top};
        if (!make_trash_folders(trash.folder)) {
            return {};
        }
    }
    trash = {top / (".Trash-" + user), top};
    return make_trash_folders(trash.folder);
}

// The .trashinfo is made first and exclusively: it claims the name in the trash.
std::error_code move_into_trash(const fs::path& path, const TrashFolder& trash) {
    const fs::path original = trash.base.empty() ? path : path.lexically_relative(trash.base);
    const std::string info_text = "[Trash Info]\nPath=" + percent_encoded(original.native()) +
                                  "\nDeletionDate=" + deletion_date() + "\n";
    const std::string name = path.filename().native();
    for (int number = 1; number <= 10000; ++number) {
        const std::string trashed = numbered(name, number);
        const fs::path info = trash.folder / "info" / (trashed + ".trashinfo");
        const fs::path target = trash.folder / "files" / trashed;
        const int descriptor = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (descriptor < 0 && errno == EEXIST) {
            continue;
        }
        if (descriptor < 0) {
            return last_error();
        }
        std::error_code error = write_all(descriptor, info_text);
        if (::close(descriptor) != 0 && !error) {
            error = last_error();
        }
        struct stat taken {};
        if (!error && ::lstat(target.c_str(), &taken) == 0) {
            ::unlink(info.c_str()); // a file left there without its .trashinfo
            continue;
        }
        if (!error && ::rename(path.c_str(), target.c_str()) != 0) {
            error = last_error();
        }
        if (error) {
            ::unlink(info.c_str());
        }
        return error;
    }
    return make_error_code(std::errc::file_exists);
}

// The home trash takes files of its own file system; any other takes them to its top folder's.
std::error_code move_to_trash(const fs::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return last_error();
    }
    std::error_code error;
    const fs::path folder = fs::canonical(fs::absolute(path, error).parent_path(), error);
    if (error) {
        return error;
    }
    const fs::path original = folder / path.filename();
    const fs::path home = home_trash_folder();
    if (!home.empty() && device_at(home) == status.st_dev) {
        fs::create_directories(home.parent_path(), error);
        if (error || (error = make_trash_folders(home))) {
            return error;
        }
        return move_into_trash(original, {home, {}});
    }
    TrashFolder trash;
    if (const auto failure =
            top_folder_trash(top_folder_of(folder, status.st_dev), ::getuid(), trash)) {
        return failure;
    }
    return move_into_trash(original, trash);
}

} // namespace ferrocase
