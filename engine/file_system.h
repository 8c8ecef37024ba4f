#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>

namespace ferrocase {

// An open file addressed by 0-based byte offsets. Reads and writes move all the bytes asked for
// unless the end of the file or an error comes first.
class RandomAccessFile {
public:
    virtual ~RandomAccessFile() = default;

    virtual std::error_code size(std::int64_t& length) = 0;
    virtual std::error_code permissions(std::filesystem::perms& permissions) = 0;
    virtual std::error_code read_at(std::int64_t offset, std::span<std::uint8_t> bytes,
                                    std::size_t& bytes_read) = 0;
    virtual std::error_code write_at(std::int64_t offset, std::span<const std::uint8_t> bytes) = 0;
    // Forces what was written to the storage device.
    virtual std::error_code sync() = 0;
    virtual std::error_code close() = 0;
};

struct OpenedFile {
    std::unique_ptr<RandomAccessFile> file;
    std::error_code error;
};

struct CreatedFile {
    std::unique_ptr<RandomAccessFile> file;
    std::filesystem::path path;
    std::error_code error;
};

// The file-system operations the engine needs; tests put a faulty one in its place.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Existing regular files only; nothing is created.
    virtual OpenedFile open_for_reading(const std::filesystem::path& path) = 0;
    virtual OpenedFile open_for_update(const std::filesystem::path& path) = 0;
    // A new, empty, uniquely named file in the folder of `target`, for replacing it atomically;
    // it gets no more permissions than given.
    virtual CreatedFile create_beside(const std::filesystem::path& target,
                                      std::filesystem::perms permissions) = 0;
    virtual bool exists(const std::filesystem::path& path) = 0;
    virtual std::error_code rename_over(const std::filesystem::path& from,
                                        const std::filesystem::path& to) = 0;
    virtual std::error_code remove(const std::filesystem::path& path) = 0;
    virtual std::error_code sync_directory(const std::filesystem::path& directory) = 0;
};

// The machine's own file system.
FileSystem& local_file_system();

} // namespace ferrocase
