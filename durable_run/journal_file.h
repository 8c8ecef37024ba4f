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
    std::set<std::uint32_t> finished;      // by an earlier run
    std::set<std::uint32_t> finished_here; // by this run
    // The list's files not yet taken, by their place in the list.
    std::map<std::uint32_t, std::filesystem::path> remaining;

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
