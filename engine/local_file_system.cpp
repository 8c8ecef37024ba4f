#include "engine/engine_error.h"
#include "engine/file_system.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace ferrocase {
namespace {

std::error_code last_error() {
    return {errno, std::system_category()};
}

class LocalFile : public RandomAccessFile {
public:
    explicit LocalFile(int descriptor) : descriptor_(descriptor) {}
    ~LocalFile() override {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    std::error_code size(std::int64_t& length) override {
        struct stat status {};
        if (::fstat(descriptor_, &status) != 0) {
            return last_error();
        }
        length = status.st_size;
        return {};
    }

    std::error_code permissions(std::filesystem::perms& permissions) override {
        struct stat status {};
        if (::fstat(descriptor_, &status) != 0) {
            return last_error();
        }
        permissions = static_cast<std::filesystem::perms>(status.st_mode & 07777);
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

    std::error_code sync() override {
        return ::fsync(descriptor_) == 0 ? std::error_code{} : last_error();
    }

    std::error_code close() override {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        return ::close(descriptor) == 0 ? std::error_code{} : last_error();
    }

private:
    int descriptor_;
};

// Opens an existing path and accepts it only if it is a regular file. O_NONBLOCK keeps a FIFO
// from blocking the open; it means nothing for regular files.
OpenedFile open_regular_file(const std::filesystem::path& path, int access) {
    const int descriptor = ::open(path.c_str(), access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) {
        return {nullptr, last_error()};
    }
    auto file = std::make_unique<LocalFile>(descriptor);
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return {nullptr, last_error()};
    }
    if (!S_ISREG(status.st_mode)) {
        return {nullptr, EngineError::not_a_regular_file};
    }
    return {std::move(file), {}};
}

class LocalFileSystem : public FileSystem {
public:
    OpenedFile open_for_reading(const std::filesystem::path& path) override {
        return open_regular_file(path, O_RDONLY);
    }

    OpenedFile open_for_update(const std::filesystem::path& path) override {
        return open_regular_file(path, O_RDWR);
    }

    CreatedFile create_beside(const std::filesystem::path& target,
                              std::filesystem::perms permissions) override {
        // Read and write bits only; the umask still applies, as for any new file.
        const auto mode = static_cast<mode_t>(permissions) & 0666;
        static std::minstd_rand names{std::random_device{}()};
        const std::filesystem::path folder = target.parent_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = ".";
            name += target.filename().native();
            name += ".ferrocase-";
            name += std::to_string(names() % 1000000);
            const std::filesystem::path candidate = folder / name;
            const int descriptor =
                ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
            if (descriptor >= 0) {
                return {std::make_unique<LocalFile>(descriptor), candidate, {}};
            }
            if (errno != EEXIST) {
                return {nullptr, candidate, last_error()};
            }
        }
        return {nullptr, {}, std::make_error_code(std::errc::file_exists)};
    }

    bool exists(const std::filesystem::path& path) override {
        std::error_code error;
        return std::filesystem::exists(std::filesystem::symlink_status(path, error));
    }

    std::error_code rename_over(const std::filesystem::path& from,
                                const std::filesystem::path& to) override {
        return ::rename(from.c_str(), to.c_str()) == 0 ? std::error_code{} : last_error();
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
        const std::error_code error = file.sync();
        // Some file systems cannot sync a folder; the rename is then as durable as they allow.
        if (error && error != std::errc::invalid_argument) {
            return error;
        }
        return file.close();
    }
};

} // namespace

FileSystem& local_file_system() {
    static LocalFileSystem file_system;
    return file_system;
}

} // namespace ferrocase
