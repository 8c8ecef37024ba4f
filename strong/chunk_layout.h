#pragma once

#include "strong/chunk_workers.h"
#include "strong/strong_header.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ferrocase {

inline constexpr std::int64_t batch_target_bytes = 1024 * 1024;
inline constexpr std::int64_t most_chunks_per_batch = 16;
// The chunk counter is 32 bits wide.
inline constexpr std::int64_t most_chunks = std::int64_t{1} << 32;

// Where every chunk of a file lies, in the plain file and in the stored one. Every chunk holds
// chunk_size plain bytes except the last, which holds 1 to chunk_size (0 for an empty file).
// The chunks follow a header of `header_length` bytes.
class ChunkLayout {
public:
    static std::optional<ChunkLayout> of_plain(std::int64_t length, std::uint32_t chunk_size,
                                               std::size_t header_length) {
        const std::int64_t chunks =
            std::max<std::int64_t>(1, (length + chunk_size - 1) / chunk_size);
        if (chunks > most_chunks) {
            return std::nullopt;
        }
        return ChunkLayout(length, chunk_size, chunks, header_length);
    }

    static std::optional<ChunkLayout> of_stored(std::int64_t length, std::uint32_t chunk_size,
                                                std::size_t header_length) {
        const std::int64_t body = length - static_cast<std::int64_t>(header_length);
        const std::int64_t stored_chunk = std::int64_t{chunk_size} + tag_size;
        if (body < static_cast<std::int64_t>(tag_size)) {
            return std::nullopt;
        }
        const std::int64_t chunks = (body + stored_chunk - 1) / stored_chunk;
        const std::int64_t last = body - (chunks - 1) * stored_chunk;
        if (chunks > most_chunks || last < static_cast<std::int64_t>(tag_size) ||
            (chunks > 1 && last == static_cast<std::int64_t>(tag_size))) {
            return std::nullopt;
        }
        return ChunkLayout(body - chunks * static_cast<std::int64_t>(tag_size), chunk_size, chunks,
                           header_length);
    }

    std::int64_t stored_length() const {
        return header_length_ + plain_length_ + chunks_ * static_cast<std::int64_t>(tag_size);
    }
    std::int64_t chunks() const { return chunks_; }
    std::int64_t plain_length() const { return plain_length_; }
    std::int64_t batches() const { return (chunks_ + per_batch_ - 1) / per_batch_; }
    // The buffer sizes a batch needs for its plain bytes and for them as they are stored.
    std::size_t plain_batch_bytes() const {
        return static_cast<std::size_t>(std::min(per_batch_, chunks_) * chunk_size_);
    }
    std::size_t stored_batch_bytes() const {
        return static_cast<std::size_t>(std::min(per_batch_, chunks_) * stored_chunk());
    }
    std::int64_t first_chunk(const Batch& batch) const { return batch.index * per_batch_; }
    std::int64_t chunks_in(const Batch& batch) const {
        return std::min(per_batch_, chunks_ - first_chunk(batch));
    }
    std::int64_t chunks_in(std::int64_t batches) const {
        return std::min(batches * per_batch_, chunks_);
    }
    std::int64_t plain_offset(std::int64_t chunk) const {
        return std::min(chunk * chunk_size_, plain_length_);
    }
    std::int64_t stored_offset(std::int64_t chunk) const {
        return header_length_ + chunk * stored_chunk();
    }
    std::size_t plain_size(std::int64_t chunk) const {
        return static_cast<std::size_t>(plain_offset(chunk + 1) - plain_offset(chunk));
    }
    // A batch's plain bytes lie together; stored, each chunk's text is followed by its tag.
    std::span<std::uint8_t> plain_text(const Batch& batch, std::vector<std::uint8_t>& buffer,
                                       std::int64_t index_in_batch) const {
        return {buffer.data() + index_in_batch * chunk_size_,
                plain_size(first_chunk(batch) + index_in_batch)};
    }
    std::span<std::uint8_t> stored_text(const Batch& batch, std::vector<std::uint8_t>& buffer,
                                        std::int64_t index_in_batch) const {
        return {buffer.data() + index_in_batch * stored_chunk(),
                plain_size(first_chunk(batch) + index_in_batch)};
    }
    std::span<std::uint8_t, tag_size> stored_tag(const Batch& batch,
                                                 std::vector<std::uint8_t>& buffer,
                                                 std::int64_t index_in_batch) const {
        const auto text = stored_text(batch, buffer, index_in_batch);
        return std::span<std::uint8_t, tag_size>(text.data() + text.size(), tag_size);
    }
    std::size_t plain_bytes(const Batch& batch) const {
        const auto first = first_chunk(batch);
        return static_cast<std::size_t>(plain_offset(first + chunks_in(batch)) -
                                        plain_offset(first));
    }
    std::size_t stored_bytes(const Batch& batch) const {
        return plain_bytes(batch) + static_cast<std::size_t>(chunks_in(batch)) * tag_size;
    }

private:
    ChunkLayout(std::int64_t plain_length, std::uint32_t chunk_size, std::int64_t chunks,
                std::size_t header_length)
        : plain_length_(plain_length), chunk_size_(chunk_size), chunks_(chunks),
          header_length_(static_cast<std::int64_t>(header_length)),
          per_batch_(std::clamp<std::int64_t>(batch_target_bytes / stored_chunk(), 1,
                                              most_chunks_per_batch)) {}
    std::int64_t stored_chunk() const { return chunk_size_ + static_cast<std::int64_t>(tag_size); }

    std::int64_t plain_length_;
    std::int64_t chunk_size_;
    std::int64_t chunks_;
    std::int64_t header_length_;
    std::int64_t per_batch_;
};

} // namespace ferrocase
