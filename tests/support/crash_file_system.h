#pragma once

#include "file_system/file_system.h"
#include "tests/support/file_helpers.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace ferrocase::testing {

// An in-memory file system that models the page cache, as crash tests of databases do. Every
// write, sync, creation, rename and removal is an operation; a test can make the program stop at
// any of them (from then on nothing the program does reaches the disk), and then cut the power:
// what was synced stays, and each 512-byte sector written since, and each change of names made
// since, is kept or lost as the test decides. Names change in order, so a later change is kept
// only with every earlier one.
class CrashFileSystem : public FileSystem {
public:
    // Decides, for each sector or change of names not yet synced, whether it survives.
    using Survival = std::function<bool()>;

    // Files that exist, synced, before the program runs.
    void put(const std::filesystem::path& path, const Bytes& bytes);
    std::optional<Bytes> get(const std::filesystem::path& path) const;
    std::vector<std::filesystem::path> names() const;

    // Thrown at the operation where the program stops.
    struct Stopped {};

    // The program stops at its Nth operation (from 1): the operation throws Stopped. 0 lets it
    // run to the end.
    void stop_at(int operation) { stop_at_ = operation; }
    int operations() const { return operations_; }
    bool stopped() const { return stopped_; }
    // Drops what the survival test rejects, closes every file and starts the machine again.
    void power_cut(const Survival& survives);

    OpenedFile open_for_reading(const std::filesystem::path& path) override;
    OpenedFile open_for_update(const std::filesystem::path& path) override;
    CreatedFile create_new(const std::filesystem::path& target, const FileStatus& like) override;
    std::error_code status(const std::filesystem::path& path, FileStatus& status) override;
    std::error_code remove(const std::filesystem::path& path) override;
    std::error_code sync_directory(const std::filesystem::path& directory) override;
    std::error_code sync_file_system(const std::filesystem::path& path) override;
    std::error_code create_directories(const std::filesystem::path& folder) override;
    std::vector<std::filesystem::path> list(const std::filesystem::path& folder) override;
    OpenedFile create_exclusive(const std::filesystem::path& path) override;

    struct Inode;
    struct NameChange {
        std::filesystem::path name;
        std::shared_ptr<Inode> inode; // none: the name goes
    };

    // The operation about to happen: false once the program has stopped, which it does by
    // throwing Stopped at the chosen operation.
    bool operate();
    void change_name(const std::filesystem::path& name, std::shared_ptr<Inode> inode);
    void sync_names();
    std::shared_ptr<Inode> new_inode();
    // Held by reads and writes, which two threads may make at once.
    std::mutex& content_mutex() { return content_mutex_; }

private:
    OpenedFile open(const std::filesystem::path& path);

    std::map<std::filesystem::path, std::shared_ptr<Inode>> names_;        // as the program sees
    std::map<std::filesystem::path, std::shared_ptr<Inode>> synced_names_; // on disk
    std::vector<NameChange> name_changes_;                                 // since the last sync
    int stop_at_ = 0;
    int operations_ = 0;
    bool stopped_ = false;
    std::vector<std::weak_ptr<Inode>> inodes_; // named or not, for syncing them all
    std::mutex content_mutex_;
};

} // namespace ferrocase::testing
