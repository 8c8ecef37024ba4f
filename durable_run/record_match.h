#pragma once

#include "durable_run/journal_records.h"
#include "file_system/file_system.h"
#include "fxe/keystream.h"

#include <string_view>
#include <system_error>
#include <vector>

namespace ferrocase {

// What an earlier run's records say of a file about to be encrypted in place.
struct RecordMatch {
    enum class Kind {
        none,          // nothing: encrypt it afresh
        part_way,      // this file, part-way: finish it (and the entry with it)
        part_way_copy, // a copy of a part-way file: finish it, keep the entry for the original
        finished,      // finished by a run that was stopped before its list was done: skip it
        refused,       // part-way, but it cannot be finished: `error` says why
    };
    Kind kind = Kind::none;
    const UnfinishedEncryption* entry = nullptr;
    std::error_code error;
};

// Compares the file with the entries; `mask` is the run's key, if it has one. The same inode and
// size name the same file even when its disk came back under another device number, once its bytes
// agree with the samples; a file of another inode but the same size is taken for a copy only when
// every sample agrees.
RecordMatch match_record(RandomAccessFile& file, const FileStatus& status,
                         const std::vector<UnfinishedEncryption>& entries, bool unreadable_records,
                         std::string_view password, int skip_step, const BlockMask* mask,
                         std::int64_t block_size);

// Whether the file is part-way through an in-place encryption, which is all it may be given to.
bool is_part_way(RandomAccessFile& file, const FileStatus& status,
                 const std::vector<UnfinishedEncryption>& entries, std::int64_t block_size);

} // namespace ferrocase
