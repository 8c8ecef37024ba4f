#include "file_system/engine_error.h"
#include "file_system/file_system.h"
#include "file_system/temporary_name.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <optional>
#include <random>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace ferrocase {
namespace {

std::error_code last_error() {
    return {errno, std::system_category()};
}

FileStatus to_status(const struct stat& info) {
    return {.identity = {static_cast<std::uint64_t>(info.st_dev),
                         static_cast<std::uint64_t>(info.st_ino)},
            .size = info.st_size,
            .permissions = static_cast<std::filesystem::perms>(info.st_mode & 07777),
            .owner = info.st_uid,
            .group = info.st_gid,
            .change_time =
                std::int64_t{info.st_ctim.tv_sec} * 1'000'000'000 + info.st_ctim.tv_nsec};
}

// A leftover of a run that stopped between naming a new file and renaming it holds plain text.
void remove_leftover(const std::filesystem::path& temporary) {
    ::unlink(temporary.c_str());
}

class LocalFile : public NewFile {
public:
    explicit LocalFile(int descriptor) : descriptor_(descriptor) {}
    // A new file that replaces `target` when put in place; `temporary` is its name until then,
    // or empty when it has none.
    LocalFile(int descriptor, std::filesystem::path target, std::filesystem::path temporary,
              FileSystem::NameNote note)
        : descriptor_(descriptor), target_(std::move(target)), temporary_(std::move(temporary)),
          note_(std::move(note)), is_new_(true) {}
    ~LocalFile() override { close(); }
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    // What the open saw answers the first question, which comes right after it; a run over many
    // small files feels every system call.
    void remember(const struct stat& info) { opened_ = to_status(info); }

    std::error_code status(FileStatus& status) override {
        if (opened_) {
            status = *opened_;
            opened_.reset();
            return {};
        }
        struct stat info {};
        if (::fstat(descriptor_, &info) != 0) {
            return last_error();
        }
        status = to_status(info);
        return {};
    }

    std::error_code read_at(std::int64_t offset, std::span<std::uint8_t> bytes,
                            std::size_t& bytes_read) override {
        bytes_read = 0;
        while (bytes_read < bytes.size()) {
            const ssize_t count =
                ::pread(descriptor_, bytes.data() + bytes_read, bytes.size() - bytes_read,
                        static_cast<off_t>(offset + bytes_read));
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0) {
                return last_error();
            }
            if (count == 0) {
                break;
            }
            bytes_read += static_cast<std::size_t>(count);
        }
        return {};
    }

    std::error_code write_at(std::int64_t offset, std::span<const std::uint8_t> bytes) override {
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t count =
                ::pwrite(descriptor_, bytes.data() + written, bytes.size() - written,
                         static_cast<off_t>(offset + written));
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0) {
                return last_error();
            }
            if (count == 0) {
                return EngineError::short_write;
            }
            written += static_cast<std::size_t>(count);
        }
        return {};
    }

    void start_writeback(std::int64_t offset, std::int64_t length) override {
        // Only a hint: where the system cannot, the final sync does it all.
        ::sync_file_range(descriptor_, offset, length, SYNC_FILE_RANGE_WRITE);
    }

    std::error_code sync() override {
        return ::fdatasync(descriptor_) == 0 ? std::error_code{} : last_error();
    }

    bool named_while_written() const override { return is_new_ && !temporary_.empty(); }

    std::error_code put_in_place() override {
        if (!temporary_.empty()) {
            if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
                return last_error();
            }
            temporary_.clear();
            is_new_ = false;
            return {};
        }
        if (link_to(target_) == 0) {
            is_new_ = false;
            return {};
        }
        if (errno != EEXIST) {
            return last_error();
        }
        // A link cannot replace a name: link under a temporary name, then rename that over the
        // target. Should the program stop in between, the next file written to this target
        // removes the leftover.
        const std::filesystem::path temporary = folder_of(target_) / temporary_name(target_);
        remove_leftover(temporary);
        if (note_) {
            if (auto error = note_(temporary)) {
                return error;
            }
        }
        if (link_to(temporary) != 0) {
            return last_error();
        }
        if (::rename(temporary.c_str(), target_.c_str()) != 0) {
            const std::error_code error = last_error();
            ::unlink(temporary.c_str());
            return error;
        }
        is_new_ = false;
        return {};
    }

    std::error_code close() override {
        if (descriptor_ < 0) {
            return {};
        }
        if (is_new_ && !temporary_.empty()) {
            ::unlink(temporary_.c_str());
        }
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return ::close(descriptor) == 0 ? std::error_code{} : last_error();
    }

private:
    int link_to(const std::filesystem::path& name) {
        const std::string own_name = "/proc/self/fd/" + std::to_string(descriptor_);
        if (::linkat(AT_FDCWD, own_name.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return 0;
        }
        if (errno != ENOENT) {
            return -1;
        }
        // Without /proc; allowed only to privileged processes.
        return ::linkat(descriptor_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
    }

    int descriptor_;
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    FileSystem::NameNote note_;
    bool is_new_ = false;
    std::optional<FileStatus> opened_;
};

// Another run holds the file while it is processed. File systems without locks process it
// unlocked, as they must.
std::error_code lock(int descriptor) {
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
        return {};
    }
    if (errno == EWOULDBLOCK) {
        return EngineError::in_use;
    }
    return {};
}

// Opens an existing path and accepts it only if it is a regular file. O_NONBLOCK keeps a FIFO
// from blocking the open; it means nothing for regular files.
OpenedFile open_regular_file(const std::filesystem::path& path, int access) {
    const int descriptor = ::open(path.c_str(), access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) {
        return {nullptr, last_error()};
    }
    auto file = std::make_unique<LocalFile>(descriptor);
    struct stat info {};
    if (::fstat(descriptor, &info) != 0) {
        return {nullptr, last_error()};
    }
    if (!S_ISREG(info.st_mode)) {
        return {nullptr, EngineError::not_a_regular_file};
    }
    if (auto error = lock(descriptor)) {
        return {nullptr, error};
    }
    file->remember(info);
    return {std::move(file), {}};
}

class LocalFileSystem : public FileSystem {
public:
    explicit LocalFileSystem(bool unnamed_files) : unnamed_files_(unnamed_files) {}

    OpenedFile open_for_reading(const std::filesystem::path& path) override {
        return open_regular_file(path, O_RDONLY);
    }

    OpenedFile open_for_update(const std::filesystem::path& path) override {
        return open_regular_file(path, O_RDWR);
    }

    CreatedFile create_new(const std::filesystem::path& target, const FileStatus& like) override {
        // Read and write bits only; the umask still applies, as for any new file.
        auto mode = static_cast<mode_t>(like.permissions) & 0666;
        struct stat existing {};
        if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
            mode &= existing.st_mode;
        }
        const std::filesystem::path folder = folder_of(target);
        const std::filesystem::path temporary = folder / temporary_name(target);
        remove_leftover(temporary);
        CreatedFile created;
        int descriptor =
            unnamed_files_ ? ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC | O_NOCTTY, mode)
                           : -1;
        if (descriptor >= 0) {
            created.file = std::make_unique<LocalFile>(descriptor, target, std::filesystem::path{},
                                                       name_note());
        } else if (!unnamed_files_ || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
            // No unnamed files here: a hidden name that the next run removes if need be.
            if (name_note()) {
                if (auto error = name_note()(temporary)) {
                    return {nullptr, error};
                }
            }
            descriptor =
                ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
            if (descriptor < 0) {
                return {nullptr, last_error()};
            }
            created.file = std::make_unique<LocalFile>(descriptor, target, temporary, name_note());
        } else {
            return {nullptr, last_error()};
        }
        // Run by root for a user, the user's plain text stays the user's. File systems without
        // owners refuse; the file is then root's, which widens nothing.
        if (::geteuid() == 0) {
            [[maybe_unused]] const int ignored = ::fchown(descriptor, like.owner, like.group);
        }
        return created;
    }

    std::error_code status(const std::filesystem::path& path, FileStatus& status) override {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            return last_error();
        }
        status = to_status(info);
        return {};
    }

    std::error_code remove(const std::filesystem::path& path) override {
        return ::unlink(path.c_str()) == 0 ? std::error_code{} : last_error();
    }

    std::error_code sync_directory(const std::filesystem::path& directory) override {
        const std::filesystem::path folder = directory.empty() ? "." : directory;
        const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (descriptor < 0) {
            return last_error();
        }
        LocalFile file(descriptor);
        const std::error_code error = ::fsync(descriptor) == 0 ? std::error_code{} : last_error();
        // Some file systems cannot sync a folder; the rename is then as durable as they allow.
        if (error && error != std::errc::invalid_argument) {
            return error;
        }
        return file.close();
    }

    std::error_code sync_file_system(const std::filesystem::path& path) override {
        const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (descriptor < 0) {
            return last_error();
        }
        LocalFile file(descriptor);
        if (::syncfs(descriptor) != 0) {
            return last_error();
        }
        return file.close();
    }

    std::error_code create_directories(const std::filesystem::path& folder) override {
        std::filesystem::path existing = folder;
        std::error_code error;
        while (!existing.empty() && !std::filesystem::exists(existing, error) &&
               existing.has_relative_path()) {
            existing = existing.parent_path();
        }
        if (existing == folder) {
            return {};
        }
        std::filesystem::create_directories(folder, error);
        // A new folder's name is on disk only once the folder above it is synced: every one made
        // here, and the first that was there before.
        for (std::filesystem::path made = folder; !error; made = made.parent_path()) {
            error = sync_directory(made);
            if (made == existing || !made.has_relative_path()) {
                break;
            }
        }
        return error;
    }

    bool survives_power_cut(const std::filesystem::path& path) override {
        struct statfs info {};
        return ::statfs(path.c_str(), &info) != 0 ||
               (info.f_type != TMPFS_MAGIC && info.f_type != RAMFS_MAGIC);
    }

    std::vector<std::filesystem::path> list(const std::filesystem::path& folder) override {
        std::vector<std::filesystem::path> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            names.push_back(entry.path());
        }
        return names;
    }

    OpenedFile create_exclusive(const std::filesystem::path& path) override {
        const int descriptor =
            ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
        if (descriptor < 0) {
            return {nullptr, last_error()};
        }
        auto file = std::make_unique<LocalFile>(descriptor);
        if (auto error = lock(descriptor)) {
            return {nullptr, error};
        }
        return {std::move(file), {}};
    }

private:
    bool unnamed_files_;
};

} // namespace

FileSystem& local_file_system() {
    static LocalFileSystem file_system(true);
    return file_system;
}

FileSystem& local_file_system_without_unnamed_files() {
    static LocalFileSystem file_system(false);
    return file_system;
}

} // namespace ferrocase
