#pragma once

#include "fxe/keystream.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ferrocase {

// What tells, after a crash, which sectors of a file an in-place encryption had already changed.
// Storage writes whole 512-byte sectors, so each sector is either still plain or fully
// encrypted. For each sector one byte the transform changes is kept in its encrypted form: the
// sector holds that byte if it is encrypted, and that byte XOR the key if it is still plain.
// Kept this way, the record shows nothing the finished file would not.
constexpr std::int64_t sector_size = 512;

enum class SectorState { plain, encrypted, unknown };

class SectorSamples {
public:
    SectorSamples(const BlockMask& mask, std::int64_t block_size)
        : mask_(mask), block_size_(block_size) {}

    // One byte for every sector that starts in [offset, offset + bytes.size()); `offset` is a
    // sector boundary and `bytes` are the plain bytes there.
    std::vector<std::uint8_t> take(std::int64_t offset, std::span<const std::uint8_t> bytes) const;

    // The state of each sector of `bytes` (the file's bytes at `offset` now), judged by the
    // samples that `take` gave for the same range.
    std::vector<SectorState> judge(std::int64_t offset, std::span<const std::uint8_t> bytes,
                                   std::span<const std::uint8_t> samples) const;

    // Encrypts the sectors of `bytes` that `states` call plain.
    void encrypt_plain(std::int64_t offset, std::span<std::uint8_t> bytes,
                       std::span<const SectorState> states) const;

private:
    std::uint8_t key_at(std::int64_t offset) const {
        return mask_.at(static_cast<std::size_t>(offset % block_size_));
    }
    // The first position of the sector whose byte the transform changes, if any.
    std::optional<std::int64_t> sample_position(std::int64_t sector_start,
                                                std::int64_t sector_length) const;

    const BlockMask& mask_;
    std::int64_t block_size_;
};

} // namespace ferrocase
