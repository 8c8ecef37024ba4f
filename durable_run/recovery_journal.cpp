#include "durable_run/recovery_journal.h"

#include "durable_run/journal_file.h"
#include "file_system/engine_error.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <unistd.h>

namespace ferrocase {
namespace {

namespace format = journal_format;

std::uint64_t random_number() {
    static std::mt19937_64 generator{std::random_device{}()};
    return generator();
}

} // namespace

RecoveryJournal::RecoveryJournal(FileSystem& fs, std::filesystem::path folder)
    : fs_(fs), folder_(std::move(folder)) {}

RecoveryJournal::~RecoveryJournal() {
    close(false);
}

std::error_code RecoveryJournal::open_own() {
    if (own_) {
        return {};
    }
    if (folder_.empty()) {
        return make_error_code(EngineError::no_record_folder);
    }
    if (auto error = fs_.create_directories(folder_)) {
        return error;
    }
    auto journal = std::make_unique<Journal>();
    journal->path =
        folder_ / ("run-" + std::to_string(::getpid()) + "-" +
                   std::to_string(random_number() % 1000000000) + std::string(format::extension));
    auto [file, error] = fs_.create_exclusive(journal->path);
    if (!file) {
        return error;
    }
    journal->file = std::move(file);
    journal->unwritten = std::string(format::magic);
    std::error_code sync_error = journal->write_out();
    // The record must be found after a power cut: its name, and the folder's, on disk too.
    if (!sync_error) {
        sync_error = journal->file->sync();
    }
    if (!sync_error) {
        sync_error = fs_.sync_directory(folder_);
    }
    if (sync_error) {
        journal->file->close();
        fs_.remove(journal->path);
        return sync_error;
    }
    own_ = std::move(journal);
    kept_in_memory_ = !fs_.survives_power_cut(folder_);
    return {};
}

std::error_code RecoveryJournal::note_temporary(const std::filesystem::path& name) {
    if (auto error = open_own()) {
        return error;
    }
    own_->append(format::temporary, format::path_payload(absolute_path(name)));
    return sync();
}

std::error_code RecoveryJournal::plan(const std::vector<std::filesystem::path>& files) {
    if (auto error = open_own()) {
        return error;
    }
    std::vector<std::filesystem::path> absolute;
    for (std::uint32_t index = 0; index < files.size(); ++index) {
        absolute.push_back(absolute_path(files[index]));
        own_->add_remaining(index, absolute.back());
    }
    own_->append(format::planned, format::planned_payload(absolute));
    return {};
}

void RecoveryJournal::settle(std::uint32_t index) {
    if (!own_) {
        return;
    }
    const auto found = own_->remaining.find(index);
    if (found == own_->remaining.end()) {
        return;
    }
    const std::filesystem::path file = found->second;
    // The same file on an earlier run's list is taken now too.
    for (auto& journal : taken_over_) {
        journal->settle(file);
    }
    own_->settle(file);
}

std::error_code RecoveryJournal::begin_file(const std::filesystem::path& path,
                                            const FileStatus& status, std::string_view password,
                                            int skip_step, const UnfinishedEncryption* earlier,
                                            std::uint32_t& number) {
    if (auto error = open_own()) {
        return error;
    }
    UnfinishedEncryption entry{.record = own_->path,
                               .number = next_number_++,
                               .path = absolute_path(path),
                               .identity = status.identity,
                               .size = status.size,
                               .skip_step = skip_step,
                               // A run that goes on with another's file keeps that run's salt,
                               // so that both records agree.
                               .salt = earlier ? earlier->salt : random_number(),
                               .fingerprint = 0,
                               .windows = {},
                               .finished = false,
                               .damaged = false};
    entry.fingerprint = password_fingerprint(entry.salt, password, skip_step);
    own_->append(format::file, format::file_payload(entry));
    own_->add_pending(entry.number, status.identity);
    number = entry.number;
    return {};
}

std::error_code RecoveryJournal::add_window(std::uint32_t number, const JournalWindow& window) {
    own_->append(format::window, format::window_payload(number, window));
    return {};
}

std::error_code RecoveryJournal::sync() {
    if (!own_) {
        return {};
    }
    if (auto error = own_->write_out()) {
        return error;
    }
    return own_->file->sync();
}

RecoveryJournal::Journal* RecoveryJournal::journal_at(const std::filesystem::path& path) {
    for (auto& journal : taken_over_) {
        if (journal->path == path) {
            return journal.get();
        }
    }
    return nullptr;
}

void RecoveryJournal::finish_file(const FileIdentity& identity,
                                  const UnfinishedEncryption* earlier) {
    if (own_) {
        for (const std::uint32_t number : own_->take_pending(identity)) {
            own_->append(format::finished, format::number_payload(number));
            own_->finished_here.insert(number);
        }
    }
    if (!earlier) {
        return;
    }
    if (Journal* journal = journal_at(earlier->record);
        journal && journal->remove_pending(earlier->number)) {
        journal->append(format::finished, format::number_payload(earlier->number));
        journal->finished_here.insert(earlier->number);
    }
    remove_earlier(earlier->record, earlier->number);
}

void RecoveryJournal::drop_file(const FileIdentity& identity) {
    if (!own_) {
        return;
    }
    for (const std::uint32_t number : own_->take_pending(identity)) {
        own_->append(format::done, format::number_payload(number));
    }
}

void RecoveryJournal::drop_if_empty(Journal& journal) {
    if (!journal.empty() || journal.damaged || !journal.file) {
        return;
    }
    // The marks go to disk before the record goes, so that a power cut cannot bring back a
    // record whose files are settled.
    journal.write_out();
    journal.file->sync();
    fs_.remove(journal.path);
    fs_.sync_directory(folder_);
    journal.file->close();
    journal.file.reset();
}

void RecoveryJournal::close(bool completed) {
    std::vector<Journal*> journals;
    if (own_) {
        journals.push_back(own_.get());
    }
    for (auto& journal : taken_over_) {
        journals.push_back(journal.get());
    }
    for (Journal* journal : journals) {
        if (completed) {
            for (const std::uint32_t number : journal->finished_here) {
                journal->append(format::done, format::number_payload(number));
            }
            journal->finished_here.clear();
            if (journal == own_.get()) {
                journal->clear_remaining();
            }
        }
        drop_if_empty(*journal);
        if (journal->file) {
            // Marks that do not reach the disk only make a rerun check the file once more.
            journal->write_out();
            journal->file->close();
        }
    }
    own_.reset();
    taken_over_.clear();
    held_.clear();
}

std::filesystem::path default_journal_folder() {
    std::filesystem::path state;
    if (const char* home = std::getenv("XDG_STATE_HOME"); home && *home == '/') {
        state = home;
    } else if (const char* user_home = std::getenv("HOME"); user_home && *user_home == '/') {
        state = std::filesystem::path(user_home) / ".local" / "state";
    } else {
        return {};
    }
    return state / "ferrocase" / "unfinished";
}

} // namespace ferrocase
