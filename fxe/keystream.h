#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ferrocase {

// The key and the cursor of the block transform. The password holds one byte per character,
// in Windows-1252 (see password_encoding.h).
struct KeystreamState {
    std::string password;
    std::int16_t skip_step = 1;
    std::int16_t key_position = 0; // 1-based index of the password byte the next changed byte uses
    std::int32_t block_offset = 0; // 1-based position in the block of the next byte to change
};

// The keystream laid out over one block: the key byte for every position that the step changes,
// zero elsewhere. Every block starts the key afresh, so one mask serves every block of a run.
class BlockMask {
public:
    BlockMask(std::string_view password, int skip_step, std::size_t block_size);

    std::size_t size() const { return mask_.size(); }
    std::uint8_t at(std::size_t offset_in_block) const { return mask_[offset_in_block]; }
    // XORs the block with the mask's first block.size() bytes; the block is at most size() long.
    void apply(std::span<std::uint8_t> block) const;

private:
    std::vector<std::uint8_t> mask_;
};

// XORs every skip_step-th byte of the block, from its first, with the password repeated from its
// first byte, and leaves the cursor where the byte-by-byte walk would have left it.
void transform_block(KeystreamState& state, std::span<std::uint8_t> block);

// The same with a mask built beforehand from state.password and state.skip_step.
void transform_block(KeystreamState& state, std::span<std::uint8_t> block, const BlockMask& mask);

// The byte-by-byte walk the format was defined with; kept as the reference the fast path must
// match.
void transform_block_reference(KeystreamState& state, std::span<std::uint8_t> block);

} // namespace ferrocase
