#pragma once

#include "durable_run/journal_records.h"
#include "durable_run/recovery_journal.h"

#include <map>
#include <set>
#include <string>

namespace ferrocase {

// One run's record file, as the run that holds it sees it.
struct RecoveryJournal::Journal {
    std::filesystem::path path;
    std::unique_ptr<RandomAccessFile> file;
    std::int64_t end = 0;
    bool damaged = false;
    // Records go out in one write when they must reach the disk, not one write each.
    std::string unwritten;
    // Entries by number, with the file each is for.
    std::map<std::uint32_t, FileIdentity> pending;
    std::map<FileIdentity, std::set<std::uint32_t>> pending_by_file;

    void add_pending(std::uint32_t number, const FileIdentity& identity) {
        pending[number] = identity;
        pending_by_file[identity].insert(number);
    }

    bool remove_pending(std::uint32_t number) {
        const auto found = pending.find(number);
        if (found == pending.end()) {
            return false;
        }
        if (auto& numbers = pending_by_file[found->second];
            numbers.erase(number), numbers.empty()) {
            pending_by_file.erase(found->second);
        }
        pending.erase(found);
        return true;
    }

    // The entries of a file, no longer pending.
    std::set<std::uint32_t> take_pending(const FileIdentity& identity) {
        const auto found = pending_by_file.find(identity);
        if (found == pending_by_file.end()) {
            return {};
        }
        std::set<std::uint32_t> numbers = std::move(found->second);
        pending_by_file.erase(found);
        for (const std::uint32_t number : numbers) {
            pending.erase(number);
        }
        return numbers;
    }
    std::set<std::uint32_t> finished;      // by an earlier run
    std::set<std::uint32_t> finished_here; // by this run
    // The list's files not yet taken, by their place in the list.
    std::map<std::uint32_t, std::filesystem::path> remaining;
    std::map<std::filesystem::path, std::uint32_t> remaining_by_name;

    void add_remaining(std::uint32_t index, const std::filesystem::path& file) {
        remaining[index] = file;
        remaining_by_name.emplace(file, index);
    }

    // Marks the file settled when it is on this record's list.
    void settle(const std::filesystem::path& file) {
        const auto found = remaining_by_name.find(file);
        if (found == remaining_by_name.end()) {
            return;
        }
        append(journal_format::settled, journal_format::number_payload(found->second));
        remaining.erase(found->second);
        remaining_by_name.erase(found);
    }

    void clear_remaining() {
        remaining.clear();
        remaining_by_name.clear();
    }

    void append(journal_format::Kind kind, const std::string& payload) {
        unwritten += journal_format::frame(kind, payload);
    }

    bool empty() const {
        return pending.empty() && finished.empty() && finished_here.empty() && remaining.empty();
    }

    std::error_code write_out() {
        if (unwritten.empty() || damaged) {
            return {};
        }
        // Whole sectors, so that a record cut anywhere else can only have been damaged.
        unwritten += journal_format::padding(static_cast<std::size_t>(end) + unwritten.size());
        if (auto error = file->write_at(
                end, {reinterpret_cast<const std::uint8_t*>(unwritten.data()), unwritten.size()})) {
            return error;
        }
        end += static_cast<std::int64_t>(unwritten.size());
        unwritten.clear();
        return {};
    }
};

} // namespace ferrocase
