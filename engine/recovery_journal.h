#pragma once

#include "engine/file_system.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace ferrocase {

// A stretch of a file whose encryption had begun, with the samples that tell its sectors apart.
struct JournalWindow {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    std::vector<std::uint8_t> samples;
};

// An in-place encryption that a run began and did not see to the end.
struct UnfinishedEncryption {
    std::filesystem::path record; // the run's record that holds it
    std::filesystem::path path;
    FileIdentity identity;
    std::int64_t size = 0;
    int skip_step = 1;
    std::uint64_t salt = 0;
    std::uint16_t fingerprint = 0;
    std::vector<JournalWindow> windows;

    bool made_with(std::string_view password, int skip_step) const;
};

// Password fingerprints are 16 bits: enough to refuse a mistyped password, too few to test
// guesses against.
std::uint16_t password_fingerprint(std::uint64_t salt, std::string_view password, int skip_step);

// The recovery record of a run, in the user's state folder rather than beside the data, so that
// it fits whatever the file's name and never touches the file's format. Before any sector of a
// file is overwritten, the record of that stretch is on disk; a file is marked done once its
// new content is on disk. Runs that ended early leave their records behind; the next run that
// meets one of their files finishes it, and removes the record once nothing is left in it.
class RecoveryJournal {
public:
    RecoveryJournal(FileSystem& fs, std::filesystem::path folder);
    ~RecoveryJournal();
    RecoveryJournal(const RecoveryJournal&) = delete;
    RecoveryJournal& operator=(const RecoveryJournal&) = delete;

    // Reads the records that ended runs left, taking them over. Records of runs still going
    // are left alone.
    void load_unfinished();
    const std::vector<UnfinishedEncryption>& unfinished() const { return unfinished_; }
    const UnfinishedEncryption* unfinished_for(const FileIdentity& identity) const;

    // Starts the record of a file; returns its number in this run's record.
    std::error_code begin_file(const std::filesystem::path& path, const FileStatus& status,
                               std::string_view password, int skip_step, std::uint32_t& number);
    // Written, not yet on disk: sync() makes it so.
    std::error_code add_window(std::uint32_t number, const JournalWindow& window);
    std::error_code sync();
    // The file's new content is on disk, or it was left as it was: nothing to finish.
    void finish_file(const FileIdentity& identity);
    // Removes this run's record when nothing in it is left unfinished.
    void close();

    const std::filesystem::path& folder() const { return folder_; }

private:
    struct Journal;
    std::error_code open_own();
    std::error_code append(Journal& journal, std::uint8_t kind, const std::string& payload);
    void drop_if_empty(Journal& journal);

    FileSystem& fs_;
    std::filesystem::path folder_;
    std::unique_ptr<Journal> own_;
    std::vector<std::unique_ptr<Journal>> taken_over_;
    std::vector<UnfinishedEncryption> unfinished_;
    std::uint32_t next_number_ = 0;
};

// $XDG_STATE_HOME/ferrocase/unfinished, or the same under ~/.local/state.
std::filesystem::path default_journal_folder();

} // namespace ferrocase
