#include "durable_run/record_match.h"

#include "file_system/engine_error.h"
#include "fxe/sector_samples.h"

#include <algorithm>
#include <optional>

namespace ferrocase {
namespace {

struct Tally {
    std::int64_t plain = 0;
    std::int64_t encrypted = 0;
    std::int64_t unknown = 0;

    std::int64_t total() const { return plain + encrypted + unknown; }
};

// How the file's recorded sectors stand against the entry's samples, judged with `mask`.
std::error_code tally(RandomAccessFile& file, const UnfinishedEncryption& entry,
                      const BlockMask& mask, std::int64_t block_size, Tally& counts) {
    const SectorSamples samples(mask, block_size);
    std::vector<std::uint8_t> bytes;
    for (const JournalWindow& window : entry.windows) {
        const std::int64_t length = std::min(window.length, entry.size - window.offset);
        if (length <= 0) {
            continue;
        }
        bytes.resize(static_cast<std::size_t>(length));
        if (auto error = read_exactly(file, window.offset, bytes)) {
            return error;
        }
        for (const SectorState state : samples.judge(window.offset, bytes, window.samples)) {
            ++(state == SectorState::plain       ? counts.plain
               : state == SectorState::encrypted ? counts.encrypted
                                                 : counts.unknown);
        }
    }
    return {};
}

} // namespace

RecordMatch match_record(RandomAccessFile& file, const FileStatus& status,
                         const std::vector<UnfinishedEncryption>& entries, bool unreadable_records,
                         std::string_view password, int skip_step, const BlockMask* mask,
                         std::int64_t block_size) {
    using Kind = RecordMatch::Kind;
    for (const UnfinishedEncryption& entry : entries) {
        if (entry.size != status.size) {
            continue;
        }
        const bool same_inode = entry.identity.inode == status.identity.inode;
        const bool same_device = entry.identity.device == status.identity.device;
        const bool ours = mask && entry.made_with(password, skip_step);
        // Where the samples lie depends only on the level; another password's key is unknown,
        // so only "encrypted" can be told with it.
        std::optional<BlockMask> positions;
        if (!ours) {
            positions.emplace(std::string(1, '\x01'), entry.skip_step,
                              static_cast<std::size_t>(block_size));
        }
        Tally counts;
        if (auto error = tally(file, entry, ours ? *mask : *positions, block_size, counts)) {
            return {Kind::refused, &entry, error};
        }
        const bool all_encrypted = counts.total() > 0 && counts.encrypted == counts.total();
        if (same_inode && (same_device || all_encrypted || (ours && counts.unknown == 0))) {
            if (entry.finished) {
                if (all_encrypted) {
                    return {Kind::finished, &entry, {}};
                }
                continue; // changed since: the finished entry no longer describes it
            }
            if (entry.damaged) {
                return {Kind::refused, &entry, EngineError::record_damaged};
            }
            if (!ours) {
                return {Kind::refused, &entry, EngineError::other_settings_pending};
            }
            if (counts.unknown != 0) {
                return {Kind::refused, &entry, EngineError::changed_since_interrupted};
            }
            return {Kind::part_way, &entry, {}};
        }
        if (entry.finished) {
            continue;
        }
        // Another file of the same size: a copy of a part-way file agrees at every sample.
        if (counts.total() == 0 || counts.encrypted < 2) {
            continue;
        }
        if (ours && counts.unknown == 0) {
            return {entry.damaged ? Kind::refused : Kind::part_way_copy, &entry,
                    entry.damaged ? make_error_code(EngineError::record_damaged)
                                  : std::error_code{}};
        }
        if (!ours && counts.encrypted * 16 >= counts.total()) {
            return {Kind::refused, &entry, EngineError::other_settings_pending};
        }
    }
    if (unreadable_records) {
        return {Kind::refused, nullptr, EngineError::record_unreadable};
    }
    return {};
}

bool is_part_way(RandomAccessFile& file, const FileStatus& status,
                 const std::vector<UnfinishedEncryption>& entries, std::int64_t block_size) {
    const RecordMatch match =
        match_record(file, status, entries, false, {}, 0, nullptr, block_size);
    return match.entry && !match.entry->finished;
}

} // namespace ferrocase
