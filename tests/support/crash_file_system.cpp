#include "tests/support/crash_file_system.h"

#include "file_system/engine_error.h"

#include <algorithm>

namespace ferrocase::testing {

struct CrashFileSystem::Inode {
    struct Write {
        std::int64_t offset;
        Bytes bytes;
    };
    std::uint64_t number = 0;
    Bytes content;              // as the program sees it
    Bytes synced;               // on disk
    std::vector<Write> written; // since the last sync, in order
    bool locked = false;
    std::int64_t changes = 0;
};

namespace {

constexpr std::int64_t sector = 512;

std::error_code stopped_error() {
    return std::make_error_code(std::errc::io_error);
}

void write_into(Bytes& content, std::int64_t offset, std::span<const std::uint8_t> bytes) {
    const auto end = static_cast<std::size_t>(offset) + bytes.size();
    if (content.size() < end) {
        content.resize(end);
    }
    std::copy(bytes.begin(), bytes.end(), content.begin() + offset);
}

class CrashFile : public NewFile {
public:
    CrashFile(CrashFileSystem& fs, std::shared_ptr<CrashFileSystem::Inode> inode, bool locked,
              std::filesystem::path target = {})
        : fs_(fs), inode_(std::move(inode)), locked_(locked), target_(std::move(target)) {}
    ~CrashFile() override { close(); }
    CrashFile(const CrashFile&) = delete;
    CrashFile& operator=(const CrashFile&) = delete;

    std::error_code status(FileStatus& status) override {
        status = {.identity = {1, inode_->number},
                  .size = static_cast<std::int64_t>(inode_->content.size()),
                  .permissions =
                      std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                  .owner = 0,
                  .group = 0,
                  .change_time = inode_->changes};
        return {};
    }

    std::error_code read_at(std::int64_t offset, std::span<std::uint8_t> bytes,
                            std::size_t& bytes_read) override {
        const std::lock_guard lock(fs_.content_mutex());
        const auto size = static_cast<std::int64_t>(inode_->content.size());
        bytes_read = static_cast<std::size_t>(
            std::clamp<std::int64_t>(size - offset, 0, static_cast<std::int64_t>(bytes.size())));
        std::copy_n(inode_->content.begin() + std::min(offset, size), bytes_read, bytes.begin());
        return {};
    }

    std::error_code write_at(std::int64_t offset, std::span<const std::uint8_t> bytes) override {
        const std::lock_guard lock(fs_.content_mutex());
        if (!fs_.operate()) {
            return stopped_error();
        }
        write_into(inode_->content, offset, bytes);
        ++inode_->changes;
        inode_->written.push_back({offset, Bytes(bytes.begin(), bytes.end())});
        return {};
    }

    void start_writeback(std::int64_t, std::int64_t) override {}

    std::error_code sync() override {
        if (!fs_.operate()) {
            return stopped_error();
        }
        inode_->synced = inode_->content;
        inode_->written.clear();
        return {};
    }

    std::error_code put_in_place() override {
        if (!fs_.operate()) {
            return stopped_error();
        }
        fs_.change_name(target_, inode_);
        return {};
    }

    std::error_code close() override {
        if (locked_) {
            inode_->locked = false;
            locked_ = false;
        }
        return {};
    }

private:
    CrashFileSystem& fs_;
    std::shared_ptr<CrashFileSystem::Inode> inode_;
    bool locked_;
    std::filesystem::path target_;
};

} // namespace

bool CrashFileSystem::operate() {
    if (stopped_) {
        return false;
    }
    if (++operations_ == stop_at_) {
        stopped_ = true;
        throw Stopped{};
    }
    return true;
}

void CrashFileSystem::change_name(const std::filesystem::path& name, std::shared_ptr<Inode> inode) {
    if (inode) {
        names_[name] = inode;
    } else {
        names_.erase(name);
    }
    name_changes_.push_back({name, std::move(inode)});
}

void CrashFileSystem::sync_names() {
    synced_names_ = names_;
    name_changes_.clear();
}

std::shared_ptr<CrashFileSystem::Inode> CrashFileSystem::new_inode() {
    auto inode = std::make_shared<Inode>();
    inode->number = inodes_.size() + 1;
    inodes_.push_back(inode);
    return inode;
}

void CrashFileSystem::put(const std::filesystem::path& path, const Bytes& bytes) {
    auto inode = new_inode();
    inode->content = inode->synced = bytes;
    names_[path] = synced_names_[path] = inode;
}

std::optional<Bytes> CrashFileSystem::get(const std::filesystem::path& path) const {
    const auto found = names_.find(path);
    return found == names_.end() ? std::nullopt : std::optional(found->second->content);
}

std::vector<std::filesystem::path> CrashFileSystem::names() const {
    std::vector<std::filesystem::path> all;
    for (const auto& [name, inode] : names_) {
        all.push_back(name);
    }
    return all;
}

void CrashFileSystem::power_cut(const Survival& survives) {
    // Names change in order: the first lost change ends what survives.
    for (auto& change : name_changes_) {
        if (!survives()) {
            break;
        }
        if (change.inode) {
            synced_names_[change.name] = change.inode;
        } else {
            synced_names_.erase(change.name);
        }
    }
    name_changes_.clear();
    names_ = synced_names_;
    for (auto& [name, inode] : names_) {
        for (const auto& write : inode->written) {
            for (std::int64_t start = write.offset;
                 start < write.offset + static_cast<std::int64_t>(write.bytes.size());) {
                const std::int64_t end =
                    std::min((start / sector + 1) * sector,
                             write.offset + static_cast<std::int64_t>(write.bytes.size()));
                if (survives()) {
                    write_into(inode->synced, start,
                               std::span(write.bytes)
                                   .subspan(static_cast<std::size_t>(start - write.offset),
                                            static_cast<std::size_t>(end - start)));
                }
                start = end;
            }
        }
        inode->written.clear();
        inode->content = inode->synced;
        inode->locked = false;
    }
    stopped_ = false;
    stop_at_ = 0;
    operations_ = 0;
}

OpenedFile CrashFileSystem::open(const std::filesystem::path& path) {
    const auto found = names_.find(path);
    if (found == names_.end()) {
        return {nullptr, std::make_error_code(std::errc::no_such_file_or_directory)};
    }
    if (found->second->locked) {
        return {nullptr, EngineError::in_use};
    }
    found->second->locked = true;
    return {std::make_unique<CrashFile>(*this, found->second, true), {}};
}

OpenedFile CrashFileSystem::open_for_reading(const std::filesystem::path& path) {
    return open(path);
}

OpenedFile CrashFileSystem::open_for_update(const std::filesystem::path& path) {
    return open(path);
}

CreatedFile CrashFileSystem::create_new(const std::filesystem::path& target, const FileStatus&) {
    if (!operate()) {
        return {nullptr, stopped_error()};
    }
    auto inode = new_inode();
    return {std::make_unique<CrashFile>(*this, inode, false, target), {}};
}

std::error_code CrashFileSystem::status(const std::filesystem::path& path, FileStatus& status) {
    const auto found = names_.find(path);
    if (found == names_.end()) {
        return std::make_error_code(std::errc::no_such_file_or_directory);
    }
    return CrashFile(*this, found->second, false).status(status);
}

std::error_code CrashFileSystem::remove(const std::filesystem::path& path) {
    if (!operate()) {
        return stopped_error();
    }
    if (!names_.contains(path)) {
        return std::make_error_code(std::errc::no_such_file_or_directory);
    }
    change_name(path, nullptr);
    return {};
}

std::error_code CrashFileSystem::sync_directory(const std::filesystem::path&) {
    if (!operate()) {
        return stopped_error();
    }
    sync_names();
    return {};
}

std::error_code CrashFileSystem::sync_file_system(const std::filesystem::path&) {
    if (!operate()) {
        return stopped_error();
    }
    for (const auto& known : inodes_) {
        if (const auto inode = known.lock()) {
            inode->synced = inode->content;
            inode->written.clear();
        }
    }
    sync_names();
    return {};
}

std::error_code CrashFileSystem::create_directories(const std::filesystem::path&) {
    return {}; // folders exist wherever names do
}

std::vector<std::filesystem::path> CrashFileSystem::list(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    for (const auto& [name, inode] : names_) {
        if (name.parent_path() == folder) {
            found.push_back(name);
        }
    }
    return found;
}

OpenedFile CrashFileSystem::create_exclusive(const std::filesystem::path& path) {
    if (!operate()) {
        return {nullptr, stopped_error()};
    }
    if (names_.contains(path)) {
        return {nullptr, std::make_error_code(std::errc::file_exists)};
    }
    auto inode = new_inode();
    inode->locked = true;
    change_name(path, inode);
    return {std::make_unique<CrashFile>(*this, inode, true), {}};
}

} // namespace ferrocase::testing
