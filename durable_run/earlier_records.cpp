#include "durable_run/journal_file.h"
#include "durable_run/recovery_journal.h"

#include <algorithm>
#include <cstring>

namespace ferrocase {
namespace {

namespace format = journal_format;

std::error_code read_all(RandomAccessFile& file, std::string& bytes) {
    FileStatus status;
    if (auto error = file.status(status)) {
        return error;
    }
    bytes.resize(static_cast<std::size_t>(status.size));
    std::size_t count = 0;
    if (auto error =
            file.read_at(0, {reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()}, count)) {
        return error;
    }
    bytes.resize(count);
    return {};
}

// A damaged record is never written again; the entries the user gives up are listed beside it.
std::filesystem::path forgotten_list(const std::filesystem::path& record) {
    return record.native() + ".forgotten";
}

} // namespace

// The records that ended runs left: taken over, their files held, and given up one by one.

void RecoveryJournal::load_unfinished() {
    if (folder_.empty()) {
        return;
    }
    for (const auto& path : fs_.list(folder_)) {
        if (path.extension() != format::extension || (own_ && path == own_->path)) {
            continue;
        }
        // A run still going holds its record locked.
        auto [file, error] = fs_.open_for_update(path);
        std::string bytes;
        if (!file || read_all(*file, bytes)) {
            continue;
        }
        format::Contents contents = format::parse(bytes);
        bool any_forgotten = false;
        if (auto [list, list_error] = fs_.open_for_reading(forgotten_list(path)); list) {
            std::string numbers;
            read_all(*list, numbers);
            for (std::size_t at = 0; at + 4 <= numbers.size(); at += 4) {
                std::uint32_t number = 0;
                std::memcpy(&number, numbers.data() + at, 4);
                contents.entries.erase(number);
                any_forgotten = true;
            }
        }
        for (const auto& leftover : contents.temporaries) {
            if (!fs_.remove(leftover)) {
                removed_leftovers_.push_back(leftover);
            }
        }
        auto journal = std::make_unique<Journal>();
        journal->path = path;
        journal->file = std::move(file);
        journal->end = contents.end;
        journal->damaged = contents.damaged;
        if (contents.damaged && contents.entries.empty()) {
            if (any_forgotten) {
                // Every file it named was given up.
                fs_.remove(path);
                fs_.remove(forgotten_list(path));
                continue;
            }
            unreadable_.push_back(path);
        }
        for (auto& [number, entry] : contents.entries) {
            entry.record = path;
            if (!entry.finished) {
                hold(entry);
            }
            if (entry.finished) {
                journal->finished.insert(number);
            } else {
                journal->add_pending(number, entry.identity);
            }
            earlier_.push_back(std::move(entry));
        }
        for (std::uint32_t index = 0; index < contents.planned.size(); ++index) {
            if (!contents.settled.contains(index)) {
                journal->add_remaining(index, contents.planned[index]);
            }
        }
        if (journal->empty() && !journal->damaged) {
            drop_if_empty(*journal);
        } else {
            taken_over_.push_back(std::move(journal));
        }
    }
}

void RecoveryJournal::hold(const UnfinishedEncryption& entry) {
    auto [file, error] = fs_.open_for_update(entry.path);
    FileStatus status;
    if (file && !file->status(status) && status.identity.inode == entry.identity.inode) {
        held_[status.identity] = std::move(file);
    }
}

void RecoveryJournal::let_go_of(const FileIdentity& identity) {
    held_.erase(identity);
}

std::vector<UnfinishedEncryption> RecoveryJournal::unfinished() const {
    std::vector<UnfinishedEncryption> part_way;
    std::copy_if(earlier_.begin(), earlier_.end(), std::back_inserter(part_way),
                 [](const UnfinishedEncryption& entry) { return !entry.finished; });
    return part_way;
}

std::vector<std::filesystem::path> RecoveryJournal::remaining() const {
    std::vector<std::filesystem::path> files;
    for (const auto& journal : taken_over_) {
        for (const auto& [index, file] : journal->remaining) {
            if (std::find(files.begin(), files.end(), file) == files.end()) {
                files.push_back(file);
            }
        }
    }
    return files;
}

void RecoveryJournal::drop_earlier_plans() {
    for (auto& journal : taken_over_) {
        if (!journal->remaining.empty()) {
            journal->append(format::plan_dropped, {});
            journal->clear_remaining();
        }
    }
}

void RecoveryJournal::remove_earlier(const std::filesystem::path& record, std::uint32_t number) {
    // Order does not matter, and a rerun may remove thousands: the last takes the place.
    const auto found =
        std::find_if(earlier_.begin(), earlier_.end(), [&](const UnfinishedEncryption& entry) {
            return entry.number == number && entry.record == record;
        });
    if (found != earlier_.end()) {
        std::swap(*found, earlier_.back());
        earlier_.pop_back();
    }
}

bool RecoveryJournal::forget_file(const std::filesystem::path& path, std::error_code& error) {
    FileStatus status;
    const bool exists = !fs_.status(path, status);
    const auto absolute = absolute_path(path);
    std::vector<UnfinishedEncryption> entries;
    for (const auto& entry : earlier_) {
        if ((exists && entry.identity == status.identity) || entry.path == absolute) {
            entries.push_back(entry);
        }
    }
    for (const auto& entry : entries) {
        if (!error) {
            error = forget(entry);
        }
    }
    return !entries.empty();
}

std::error_code RecoveryJournal::forget(const UnfinishedEncryption& entry) {
    Journal* journal = journal_at(entry.record);
    if (!journal) {
        return {};
    }
    journal->remove_pending(entry.number);
    journal->finished.erase(entry.number);
    if (!journal->damaged) {
        journal->append(format::done, format::number_payload(entry.number));
        drop_if_empty(*journal);
    } else if (journal->pending.empty() && journal->finished.empty()) {
        fs_.remove(journal->path);
        fs_.remove(forgotten_list(journal->path));
        journal->file.reset();
    } else {
        OpenedFile opened = fs_.open_for_update(forgotten_list(journal->path));
        if (!opened.file) {
            opened = fs_.create_exclusive(forgotten_list(journal->path));
        }
        auto& [list, error] = opened;
        FileStatus status;
        if (!list || (error = list->status(status))) {
            return error;
        }
        std::uint8_t number[4];
        std::memcpy(number, &entry.number, 4);
        if ((error = list->write_at(status.size, number)) || (error = list->sync())) {
            return error;
        }
    }
    remove_earlier(entry.record, entry.number);
    return {};
}

} // namespace ferrocase
