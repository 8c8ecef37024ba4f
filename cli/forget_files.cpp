#include "cli/forget_files.h"

#include "cli/shown_name.h"
#include "durable_run/recovery_journal.h"

namespace ferrocase::cli {
namespace {

std::filesystem::path absolute_path(const std::string& file) {
    std::error_code ignored;
    return std::filesystem::absolute(file, ignored).lexically_normal();
}

// The file an entry was made for: the same inode on the same device, or under the same name.
bool names(const UnfinishedEncryption& entry, const std::filesystem::path& path,
           const FileStatus* status) {
    if (status && entry.identity.inode == status->identity.inode &&
        entry.identity.device == status->identity.device) {
        return true;
    }
    return entry.path == path;
}

} // namespace

int forget_files(const std::vector<std::string>& files, FileSystem& fs,
                 const std::filesystem::path& journal_folder, std::ostream& out,
                 std::ostream& err) {
    RecoveryJournal journal(fs, journal_folder);
    journal.load_unfinished();
    int status = 0;
    for (const std::string& file : files) {
        FileStatus found;
        const bool exists = !fs.status(file, found);
        std::vector<UnfinishedEncryption> entries;
        for (const auto& entry : journal.earlier()) {
            if (names(entry, absolute_path(file), exists ? &found : nullptr)) {
                entries.push_back(entry);
            }
        }
        std::error_code error;
        for (const auto& entry : entries) {
            if (!error) {
                error = journal.forget(entry);
            }
        }
        if (entries.empty() || error) {
            err << "ferrocase-cli: " << shown_name(file)
                << (error ? ": could not change its recovery record: " + error.message()
                          : ": no interrupted encryption of it is recorded")
                << std::endl;
            status = 1;
            continue;
        }
        out << "forgotten  " << shown_name(file) << ": the next run encrypts it as it is now"
            << std::endl;
    }
    return status;
}

} // namespace ferrocase::cli
