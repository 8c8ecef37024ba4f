#pragma once

#include "durable_run/recovery_journal.h"
#include "file_system/file_result.h"
#include "fxe/transform_state.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ferrocase {

struct FileOutcome {
    int tag = 0; // the caller's number for the file
    FileResult result;
};

// A run over many files that reports a file done only once its new content is on disk, yet
// flushes many files at once: small files are written together after one flush of the recovery
// record, and one flush of the file system then covers them all. An in-place encryption is
// recorded before it overwrites anything, so that whatever stops it, a later run finishes it
// (see RecoveryJournal). A file is taken at most once per run, whatever name reaches it.
class DurableRun {
public:
    struct Limits {
        // Bytes of a file encrypted per flush of the recovery record.
        std::int64_t window_bytes = 3'200'000;
        // Windows recorded ahead of the writes per flush of the record.
        int windows_per_record = 10;
        int pending_files = 128;
        std::int64_t pending_bytes = std::int64_t{64} << 20;
        // Of small files' new content, held in memory until the record is on disk.
        std::int64_t held_bytes = std::int64_t{4} << 20;
        std::chrono::milliseconds pending_time{1000};
    };

    DurableRun(FileSystem& fs, std::filesystem::path journal_folder);
    DurableRun(FileSystem& fs, std::filesystem::path journal_folder, Limits limits);
    ~DurableRun();
    DurableRun(const DurableRun&) = delete;
    DurableRun& operator=(const DurableRun&) = delete;

    FileSystem& file_system() { return fs_; }
    RecoveryJournal& journal() { return journal_; }

    // The run's whole list, tagged from `first_tag` on. It is recorded, so that a rerun of a
    // stopped run skips what it finished, and each file is opened only if it is still the file
    // that was listed.
    std::error_code plan(const std::vector<std::filesystem::path>& files, int first_tag);

    // Encrypts the file in place with state.password and state.skip_step.
    void encrypt(EngineState& state, const std::filesystem::path& path, int tag,
                 const Yield& yield);
    // Decrypts `source` into `destination`, which is replaced only once the new content is on
    // disk. The source is never changed.
    void decrypt(EngineState& state, const std::filesystem::path& source,
                 const std::filesystem::path& destination, int tag, const Yield& yield);

    // Writes `destination` from `source` in another format: `write` runs only once the source is
    // admitted (see refusal), and hands back its new file unnamed and not yet on disk, to be
    // flushed and named with the run's other files.
    using WriteNewFile = std::function<FileResult(std::unique_ptr<NewFile>& unnamed)>;
    void write_new_file(const std::filesystem::path& source,
                        const std::filesystem::path& destination, int tag,
                        const WriteNewFile& write);

    // Removes the source of a finished file, as the user asked: only while it is still what the
    // run read, and reported only once the removal is on disk.
    std::error_code
    remove_original(int tag, const std::filesystem::path& path,
                    const std::function<std::error_code(const std::filesystem::path&)>& remove);

    // Forces everything written so far to disk; the files become done.
    void flush();
    // Flushes and marks every file done. The record stays while it holds a part-way file, or
    // while the run has not taken its whole list: a run stopped early keeps what it finished,
    // for a rerun to skip. The destructor does it too. Take the outcomes of the last flush
    // first, so that their records stay until the caller has them.
    void finish();
    // The same once the run has taken every file of its list: the record goes.
    void complete();
    // A file the caller refused before it reached the run.
    void report(int tag, FileResult result);
    // What is known so far: failures at once, successes once flushed. A file's record is marked
    // done only at the run's next call, once the caller has been told: a crash before that
    // leaves a record whose rerun only finds the file finished.
    std::vector<FileOutcome> take_outcomes();

    // Once set, the file under way stops at the next point the recovery record covers, and is
    // reported as interrupted.
    void stop_when(const std::atomic<bool>* flag) { stop_now_ = flag; }

private:
    struct Pending;
    // For a file another format takes: refused when it cannot be taken safely (a part-way
    // encryption, a file that changed since it was listed, a destination this run wrote).
    std::optional<FileResult> refusal(const std::filesystem::path& source,
                                      const std::filesystem::path& destination, int tag);
    // Opens a file for this run, its progress reset. No file when it could not be opened or this
    // run has had it already; that is then reported.
    SourceFile start_file(EngineState& state, const std::filesystem::path& path,
                          SourceAccess access, int tag);
    // Refused when this run had the file already, or the name leads elsewhere than when the
    // list was made; otherwise the source's state is kept, for the removal of the original.
    std::optional<FileResult> admit(const std::filesystem::path& path, const FileStatus& status,
                                    int tag);
    void count_outcomes_as_told();
    void report_unopened(int tag, const std::filesystem::path& path, FileResult failure);
    void add_pending(std::unique_ptr<Pending> pending);
    std::shared_ptr<const BlockMask> mask_for(const EngineState& state);
    void mark_told_done();
    void close(bool completed);
    bool listed_file_changed(const FileStatus& status, int tag) const;
    std::optional<FileResult> destination_taken(const std::filesystem::path& destination);

    FileSystem& fs_;
    Limits limits_;
    RecoveryJournal journal_;
    std::map<FileIdentity, std::filesystem::path> taken_;
    std::vector<std::unique_ptr<Pending>> pending_;
    std::int64_t pending_bytes_ = 0;
    std::int64_t held_bytes_ = 0;
    std::chrono::steady_clock::time_point first_pending_;
    std::vector<FileOutcome> outcomes_;
    struct DoneFile {
        FileIdentity identity;
        std::optional<UnfinishedEncryption> earlier; // the entry it went on with
    };
    std::vector<DoneFile> done_;      // reported done, record not yet marked
    std::vector<DoneFile> told_done_; // taken by the caller
    std::vector<int> settled_;        // tags taken by the caller
    int first_tag_ = 0;
    bool planned_ = false;
    std::map<int, FileIdentity> listed_; // what each tag named when the list was made
    std::set<std::filesystem::path> destinations_;
    std::map<int, FileStatus> sources_; // as each source was when the run read it
    const std::atomic<bool>* stop_now_ = nullptr;
    std::shared_ptr<const BlockMask> mask_;
    std::string mask_password_;
    int mask_step_ = 0;
};

// One file on its own, done and on disk when they return; a batch goes through DurableRun.
FileResult encrypt_file(EngineState& state, FileSystem& fs, const std::filesystem::path& path,
                        const Yield& yield);
FileResult decrypt_file(EngineState& state, FileSystem& fs, const std::filesystem::path& source,
                        const std::filesystem::path& destination, const Yield& yield);

} // namespace ferrocase
