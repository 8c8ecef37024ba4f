#pragma once

#include "file_system/file_system.h"

#include <functional>
#include <map>
#include <mutex>
#include <system_error>

namespace ferrocase::testing {

enum class Operation { read, write, sync, close, rename };

// The machine's file system with one planned fault: the Nth call of one kind of operation fails.
// A partial fault first moves half of the bytes, as a disk that fills up or a device that goes
// away in the middle of a call would. Without a planned fault it only counts.
class FaultyFileSystem : public FileSystem {
public:
    // Called whenever a file is opened: lets a test act in the middle of a run.
    std::function<void(const std::filesystem::path&)> on_open;
    // Added to every device number, as when a disk comes back under another one.
    std::uint64_t device_shift = 0;

    explicit FaultyFileSystem(FileSystem& real = local_file_system()) : real_(real) {}

    void fail(Operation operation, int nth, bool partial = false,
              std::error_code error = std::make_error_code(std::errc::io_error));
    // Every call of that kind from the Nth on fails, as on a device that has gone away.
    void fail_from(Operation operation, int nth);
    int calls(Operation operation) const;
    bool fault_fired() const { return fired_; }

    OpenedFile open_for_reading(const std::filesystem::path& path) override;
    OpenedFile open_for_update(const std::filesystem::path& path) override;
    CreatedFile create_new(const std::filesystem::path& target, const FileStatus& like) override;
    std::error_code status(const std::filesystem::path& path, FileStatus& status) override {
        const std::error_code error = real_.status(path, status);
        status.identity.device += device_shift;
        return error;
    }
    std::error_code remove(const std::filesystem::path& path) override;
    std::error_code sync_directory(const std::filesystem::path& directory) override;
    std::error_code sync_file_system(const std::filesystem::path& path) override;
    std::error_code create_directories(const std::filesystem::path& folder) override {
        return real_.create_directories(folder);
    }
    bool survives_power_cut(const std::filesystem::path& path) override {
        return real_.survives_power_cut(path);
    }
    std::vector<std::filesystem::path> list(const std::filesystem::path& folder) override {
        return real_.list(folder);
    }
    OpenedFile create_exclusive(const std::filesystem::path& path) override {
        return real_.create_exclusive(path);
    }

    // Counts the call; true when this is the one that must fail.
    bool next_fails(Operation operation);
    bool partial() const { return partial_; }
    std::error_code error() const { return error_; }

private:
    FileSystem& real_;
    // Reads and writes may come from two threads at once.
    mutable std::mutex mutex_;
    std::map<Operation, int> calls_;
    Operation failing_ = Operation::read;
    int nth_ = 0;
    bool partial_ = false;
    bool keep_failing_ = false;
    bool fired_ = false;
    std::error_code error_;
};

} // namespace ferrocase::testing
