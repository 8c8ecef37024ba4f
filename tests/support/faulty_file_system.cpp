#include "tests/support/faulty_file_system.h"

#include <memory>

namespace ferrocase::testing {
namespace {

// Wraps an opened file, or a new one that can be put in place.
class FaultyFile : public NewFile {
public:
    FaultyFile(std::unique_ptr<RandomAccessFile> real, FaultyFileSystem& faults)
        : real_(std::move(real)), faults_(faults) {}
    FaultyFile(std::unique_ptr<NewFile> real, FaultyFileSystem& faults)
        : new_file_(real.get()), real_(std::move(real)), faults_(faults) {}

    std::error_code status(FileStatus& status) override {
        const std::error_code error = real_->status(status);
        status.identity.device += faults_.device_shift;
        return error;
    }

    std::error_code read_at(std::int64_t offset, std::span<std::uint8_t> bytes,
                            std::size_t& bytes_read) override {
        if (!faults_.next_fails(Operation::read)) {
            return real_->read_at(offset, bytes, bytes_read);
        }
        if (faults_.partial()) {
            // A file that shrank under us: fewer bytes and no error.
            return real_->read_at(offset, bytes.first(bytes.size() / 2), bytes_read);
        }
        bytes_read = 0;
        return faults_.error();
    }

    std::error_code write_at(std::int64_t offset, std::span<const std::uint8_t> bytes) override {
        if (!faults_.next_fails(Operation::write)) {
            return real_->write_at(offset, bytes);
        }
        if (faults_.partial()) {
            real_->write_at(offset, bytes.first(bytes.size() / 2));
        }
        return faults_.error();
    }

    void start_writeback(std::int64_t offset, std::int64_t length) override {
        real_->start_writeback(offset, length);
    }

    std::error_code put_in_place() override {
        return faults_.next_fails(Operation::rename) ? faults_.error() : new_file_->put_in_place();
    }

    bool named_while_written() const override {
        return new_file_ && new_file_->named_while_written();
    }

    std::error_code sync() override {
        return faults_.next_fails(Operation::sync) ? faults_.error() : real_->sync();
    }

    std::error_code close() override {
        const std::error_code error = real_->close();
        return faults_.next_fails(Operation::close) ? faults_.error() : error;
    }

private:
    NewFile* new_file_ = nullptr;
    std::unique_ptr<RandomAccessFile> real_;
    FaultyFileSystem& faults_;
};

} // namespace

void FaultyFileSystem::fail(Operation operation, int nth, bool partial, std::error_code error) {
    failing_ = operation;
    nth_ = nth;
    partial_ = partial;
    error_ = error;
    keep_failing_ = false;
    fired_ = false;
    calls_.clear();
}

void FaultyFileSystem::fail_from(Operation operation, int nth) {
    fail(operation, nth);
    keep_failing_ = true;
}

int FaultyFileSystem::calls(Operation operation) const {
    const std::lock_guard lock(mutex_);
    const auto found = calls_.find(operation);
    return found == calls_.end() ? 0 : found->second;
}

bool FaultyFileSystem::next_fails(Operation operation) {
    const std::lock_guard lock(mutex_);
    const int call = ++calls_[operation];
    if (operation == failing_ && (call == nth_ || (keep_failing_ && call > nth_))) {
        fired_ = true;
        return true;
    }
    return false;
}

OpenedFile FaultyFileSystem::open_for_reading(const std::filesystem::path& path) {
    if (on_open) {
        on_open(path);
    }
    auto opened = real_.open_for_reading(path);
    if (opened.file) {
        opened.file = std::make_unique<FaultyFile>(std::move(opened.file), *this);
    }
    return opened;
}

OpenedFile FaultyFileSystem::open_for_update(const std::filesystem::path& path) {
    if (on_open) {
        on_open(path);
    }
    auto opened = real_.open_for_update(path);
    if (opened.file) {
        opened.file = std::make_unique<FaultyFile>(std::move(opened.file), *this);
    }
    return opened;
}

CreatedFile FaultyFileSystem::create_new(const std::filesystem::path& target,
                                         const FileStatus& like) {
    auto created = real_.create_new(target, like);
    if (created.file) {
        created.file = std::make_unique<FaultyFile>(std::move(created.file), *this);
    }
    return created;
}

std::error_code FaultyFileSystem::remove(const std::filesystem::path& path) {
    return real_.remove(path);
}

std::error_code FaultyFileSystem::sync_directory(const std::filesystem::path& directory) {
    return real_.sync_directory(directory);
}

std::error_code FaultyFileSystem::sync_file_system(const std::filesystem::path& path) {
    return next_fails(Operation::sync) ? error_ : real_.sync_file_system(path);
}

} // namespace ferrocase::testing
