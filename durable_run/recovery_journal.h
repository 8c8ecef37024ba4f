#pragma once

#include "durable_run/journal_records.h"
#include "file_system/file_system.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace ferrocase {

// The recovery record of a run, in the user's state folder rather than beside the data, so that
// it fits whatever the file's name and never touches the file's format. It holds the run's list
// of files; before any sector of a file is overwritten, the record of that stretch is on disk.
// Runs that ended early leave their records behind: the next run that meets one of their files
// finishes it if it was part-way, or skips it if it was finished, so that running the same list
// again encrypts every file exactly once.
class RecoveryJournal {
public:
    RecoveryJournal(FileSystem& fs, std::filesystem::path folder);
    ~RecoveryJournal();
    RecoveryJournal(const RecoveryJournal&) = delete;
    RecoveryJournal& operator=(const RecoveryJournal&) = delete;

    // Reads the records that ended runs left, taking them over. Records of runs still going
    // are left alone.
    void load_unfinished();
    // What earlier runs left: part-way and finished encryptions.
    const std::vector<UnfinishedEncryption>& earlier() const { return earlier_; }
    // The part-way ones, which only a run with their password and level can finish.
    std::vector<UnfinishedEncryption> unfinished() const;
    // Files on the lists of stopped runs that those runs never took.
    std::vector<std::filesystem::path> remaining() const;
    // Records that cannot be read at all, so that no file of theirs can be told.
    const std::vector<std::filesystem::path>& unreadable() const { return unreadable_; }
    // Hidden names that ended runs left, which may hold plain text, and were removed.
    const std::vector<std::filesystem::path>& removed_leftovers() const {
        return removed_leftovers_;
    }
    // On disk before it returns: a hidden name this run is about to give a new file.
    std::error_code note_temporary(const std::filesystem::path& name);

    // This run's list of files, kept until the run has taken them all.
    std::error_code plan(const std::vector<std::filesystem::path>& files);
    void settle(std::uint32_t index);
    // The lists of earlier runs have been told to the user, or taken up again.
    void drop_earlier_plans();

    // The part-way files of records taken over are held locked, so that another run finds them
    // in use rather than without a record; this run lets go of one before opening it itself.
    void let_go_of(const FileIdentity& identity);
    bool holds_files() const { return !held_.empty(); }

    // Starts the record of a file; `earlier` is the entry this run goes on with, if any.
    std::error_code begin_file(const std::filesystem::path& path, const FileStatus& status,
                               std::string_view password, int skip_step,
                               const UnfinishedEncryption* earlier, std::uint32_t& number);
    // Written, not yet on disk: sync() makes it so.
    std::error_code add_window(std::uint32_t number, const JournalWindow& window);
    std::error_code sync();
    // The file's new content is on disk: its entries, and the earlier one it went on with, are
    // kept as finished until the run has taken its whole list.
    void finish_file(const FileIdentity& identity, const UnfinishedEncryption* earlier);
    // The file was left as it was: nothing of this run's to finish.
    void drop_file(const FileIdentity& identity);
    // An earlier entry is of no more use: its file was skipped, or the user gave it up.
    std::error_code forget(const UnfinishedEncryption& entry);
    // Forgets every entry of the file at `path` (the same inode on the same device, or the same
    // name): false when there was none.
    bool forget_file(const std::filesystem::path& path, std::error_code& error);
    // Removes this run's record, and earlier ones, once nothing in them is left to finish; a
    // completed run also lets go of the files it finished.
    void close(bool completed);

    const std::filesystem::path& folder() const { return folder_; }
    // This run's record was kept where a power cut loses it.
    bool kept_in_memory() const { return kept_in_memory_; }

private:
    struct Journal;
    std::error_code open_own();
    Journal* journal_at(const std::filesystem::path& path);
    void hold(const UnfinishedEncryption& entry);
    void remove_earlier(const std::filesystem::path& record, std::uint32_t number);
    void drop_if_empty(Journal& journal);

    FileSystem& fs_;
    std::filesystem::path folder_;
    std::unique_ptr<Journal> own_;
    std::vector<std::unique_ptr<Journal>> taken_over_;
    std::vector<UnfinishedEncryption> earlier_;
    std::vector<std::filesystem::path> unreadable_;
    std::vector<std::filesystem::path> removed_leftovers_;
    std::map<FileIdentity, std::unique_ptr<RandomAccessFile>> held_;
    std::uint32_t next_number_ = 0;
    bool kept_in_memory_ = false;
};

// $XDG_STATE_HOME/ferrocase/unfinished, or the same under ~/.local/state; empty when neither
// tells where the user's state goes.
std::filesystem::path default_journal_folder();

} // namespace ferrocase
