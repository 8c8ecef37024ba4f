#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace ferrocase {

// Which file a name leads to: two names of one file (a link, a hard link, "./f" and "f") have
// the same identity.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool operator==(const FileIdentity&) const = default;
    bool operator<(const FileIdentity& other) const {
        return device != other.device ? device < other.device : inode < other.inode;
    }
};

struct FileStatus {
    FileIdentity identity;
    std::int64_t size = 0;
    std::filesystem::perms permissions = std::filesystem::perms::none;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    // When the content or the attributes last changed, in nanoseconds; no program can set it.
    std::int64_t change_time = 0;
};

// An open file addressed by 0-based byte offsets. Reads and writes move all the bytes asked for
// unless the end of the file or an error comes first. Two threads may read, write and start
// write-back at once, on different bytes.
class RandomAccessFile {
public:
    virtual ~RandomAccessFile() = default;

    virtual std::error_code status(FileStatus& status) = 0;
    virtual std::error_code read_at(std::int64_t offset, std::span<std::uint8_t> bytes,
                                    std::size_t& bytes_read) = 0;
    virtual std::error_code write_at(std::int64_t offset, std::span<const std::uint8_t> bytes) = 0;
    // Asks the system to start writing these bytes to the device without waiting, so that a
    // later sync has little left to do.
    virtual void start_writeback(std::int64_t offset, std::int64_t length) = 0;
    // Forces the content and the length to the storage device.
    virtual std::error_code sync() = 0;
    virtual std::error_code close() = 0;
};

// A file being written that has no name of its own until it is put in place; dropped or closed
// before that, it leaves nothing behind.
class NewFile : public RandomAccessFile {
public:
    // Gives the file its target's name, replacing whatever is there in one step. Sync the
    // content first; the folder's entry is on disk only once the folder is synced too.
    virtual std::error_code put_in_place() = 0;
    // Whether the file already has a (hidden) name while it is written, as on file systems
    // without unnamed files: a program killed meanwhile leaves what was written under it.
    virtual bool named_while_written() const { return false; }
};

struct OpenedFile {
    std::unique_ptr<RandomAccessFile> file;
    std::error_code error;
};

struct CreatedFile {
    std::unique_ptr<NewFile> file;
    std::error_code error;
};

// The file-system operations the engine needs; tests put a faulty one, or a simulated one that
// can lose what was not synced, in its place.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Existing regular files only; nothing is created. The file stays locked against other runs
    // until it is closed: a file another run holds fails with EngineError::in_use.
    virtual OpenedFile open_for_reading(const std::filesystem::path& path) = 0;
    virtual OpenedFile open_for_update(const std::filesystem::path& path) = 0;
    // A new file that will replace `target` (see NewFile). It belongs to the owner of `like`
    // where the system allows, and gets no more read and write permissions than `like`, nor
    // than an existing target.
    virtual CreatedFile create_new(const std::filesystem::path& target, const FileStatus& like) = 0;
    // Follows symbolic links, as opening does.
    virtual std::error_code status(const std::filesystem::path& path, FileStatus& status) = 0;
    virtual std::error_code remove(const std::filesystem::path& path) = 0;
    virtual std::error_code sync_directory(const std::filesystem::path& directory) = 0;
    // Forces everything written on the file system that holds `path` to its device: one flush
    // for many files.
    virtual std::error_code sync_file_system(const std::filesystem::path& path) = 0;

    // For the recovery records of interrupted runs. Every folder made is on disk when it returns.
    virtual std::error_code create_directories(const std::filesystem::path& folder) = 0;
    // False for a file system that lives in memory, which a power cut empties.
    virtual bool survives_power_cut(const std::filesystem::path&) { return true; }
    virtual std::vector<std::filesystem::path> list(const std::filesystem::path& folder) = 0;
    // A new named file, created empty and locked like an opened one; fails if the name exists.
    virtual OpenedFile create_exclusive(const std::filesystem::path& path) = 0;

    // Told each hidden name before a new file gets it, so that a run that stops before the name
    // goes leaves it for the next run to remove; the file fails when the note does.
    using NameNote = std::function<std::error_code(const std::filesystem::path&)>;
    void note_temporary_names(NameNote note) { note_ = std::move(note); }

protected:
    const NameNote& name_note() const { return note_; }

private:
    NameNote note_;
};

// Reads all of `bytes` at `offset`. A read that ends early means the file shrank meanwhile:
// EngineError::size_changed.
std::error_code read_exactly(RandomAccessFile& file, std::int64_t offset,
                             std::span<std::uint8_t> bytes);

// The folder that holds `path`: "." for a bare name.
std::filesystem::path folder_of(const std::filesystem::path& path);

// `path` made absolute and normal, the way records and checks compare names; as it is when the
// working folder cannot be had.
std::filesystem::path absolute_path(const std::filesystem::path& path);

// The machine's own file system.
FileSystem& local_file_system();
// The same as on file systems that have no unnamed files (FAT, many network file systems):
// new files are written under a hidden name until they are put in place.
FileSystem& local_file_system_without_unnamed_files();

} // namespace ferrocase
