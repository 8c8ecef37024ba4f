#include "fxe/sector_samples.h"

#include <algorithm>

namespace ferrocase {
namespace {

std::int64_t sector_length(std::int64_t sector, std::size_t total) {
    return std::min<std::int64_t>(sector_size, static_cast<std::int64_t>(total) - sector);
}

} // namespace

std::optional<std::int64_t> SectorSamples::sample_position(std::int64_t sector_start,
                                                           std::int64_t sector_length) const {
    for (std::int64_t position = sector_start; position < sector_start + sector_length;
         ++position) {
        if (key_at(position) != 0) {
            return position;
        }
    }
    return std::nullopt;
}

std::vector<std::uint8_t> SectorSamples::take(std::int64_t offset,
                                              std::span<const std::uint8_t> bytes) const {
    std::vector<std::uint8_t> samples;
    samples.reserve(bytes.size() / sector_size + 1);
    for (std::int64_t sector = 0; sector < static_cast<std::int64_t>(bytes.size());
         sector += sector_size) {
        const auto position = sample_position(offset + sector, sector_length(sector, bytes.size()));
        samples.push_back(
            position ? bytes[static_cast<std::size_t>(*position - offset)] ^ key_at(*position) : 0);
    }
    return samples;
}

std::vector<SectorState> SectorSamples::judge(std::int64_t offset,
                                              std::span<const std::uint8_t> bytes,
                                              std::span<const std::uint8_t> samples) const {
    std::vector<SectorState> states;
    states.reserve(samples.size());
    for (std::int64_t sector = 0; sector < static_cast<std::int64_t>(bytes.size());
         sector += sector_size) {
        const std::size_t index = static_cast<std::size_t>(sector / sector_size);
        const auto position = sample_position(offset + sector, sector_length(sector, bytes.size()));
        if (index >= samples.size()) {
            states.push_back(SectorState::unknown);
        } else if (!position) {
            // The transform changes nothing here: both states are the same bytes.
            states.push_back(SectorState::encrypted);
        } else {
            const std::uint8_t now = bytes[static_cast<std::size_t>(*position - offset)];
            const std::uint8_t sample = samples[index];
            states.push_back(now == sample                         ? SectorState::encrypted
                             : now == (sample ^ key_at(*position)) ? SectorState::plain
                                                                   : SectorState::unknown);
        }
    }
    return states;
}

void SectorSamples::encrypt_plain(std::int64_t offset, std::span<std::uint8_t> bytes,
                                  std::span<const SectorState> states) const {
    for (std::size_t index = 0; index < states.size(); ++index) {
        if (states[index] != SectorState::plain) {
            continue;
        }
        const auto start = static_cast<std::int64_t>(index) * sector_size;
        const std::int64_t end =
            std::min<std::int64_t>(start + sector_size, static_cast<std::int64_t>(bytes.size()));
        for (std::int64_t position = start; position < end; ++position) {
            bytes[static_cast<std::size_t>(position)] ^= key_at(offset + position);
        }
    }
}

} // namespace ferrocase
