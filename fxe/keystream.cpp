#include "fxe/keystream.h"

#include <cstring>

namespace ferrocase {
namespace {

// Where the byte-by-byte walk leaves its cursor after a block of `length` bytes.
void leave_cursor_after(KeystreamState& state, std::size_t length) {
    const auto step = static_cast<std::size_t>(state.skip_step);
    const std::size_t changed = (length + step - 1) / step;
    const std::size_t key_length = state.password.size();
    state.key_position = static_cast<std::int16_t>(key_length == 0 ? 1 : changed % key_length + 1);
    state.block_offset = static_cast<std::int32_t>(1 + step * changed);
}

} // namespace

BlockMask::BlockMask(std::string_view password, int skip_step, std::size_t block_size)
    : mask_(block_size, 0) {
    if (password.empty()) {
        return;
    }
    std::size_t key = 0;
    for (std::size_t offset = 0; offset < block_size;
         offset += static_cast<std::size_t>(skip_step)) {
        mask_[offset] = static_cast<std::uint8_t>(password[key]);
        if (++key == password.size()) {
            key = 0;
        }
    }
}

void BlockMask::apply(std::span<std::uint8_t> block) const {
    std::uint8_t* data = block.data();
    const std::uint8_t* key = mask_.data();
    const std::size_t length = block.size();
    std::size_t offset = 0;
    // Word-wide XOR; memcpy keeps it free of alignment and aliasing assumptions.
    for (; offset + sizeof(std::uint64_t) <= length; offset += sizeof(std::uint64_t)) {
        std::uint64_t word;
        std::uint64_t key_word;
        std::memcpy(&word, data + offset, sizeof word);
        std::memcpy(&key_word, key + offset, sizeof key_word);
        word ^= key_word;
        std::memcpy(data + offset, &word, sizeof word);
    }
    for (; offset < length; ++offset) {
        data[offset] ^= key[offset];
    }
}

void transform_block(KeystreamState& state, std::span<std::uint8_t> block) {
    const BlockMask mask(state.password, state.skip_step, block.size());
    transform_block(state, block, mask);
}

void transform_block(KeystreamState& state, std::span<std::uint8_t> block, const BlockMask& mask) {
    mask.apply(block);
    leave_cursor_after(state, block.size());
}

void transform_block_reference(KeystreamState& state, std::span<std::uint8_t> block) {
    const auto key_length = static_cast<std::int32_t>(state.password.size());
    state.key_position = 1;
    const auto length = static_cast<std::int32_t>(block.size());
    const std::int32_t step = state.skip_step;
    state.block_offset = 1;
    while (state.block_offset <= length) {
        if (key_length > 0) {
            block[state.block_offset - 1] ^=
                static_cast<std::uint8_t>(state.password[state.key_position - 1]);
        }
        state.key_position = static_cast<std::int16_t>(state.key_position + 1);
        if (state.key_position > key_length) {
            state.key_position = 1;
        }
        state.block_offset += step;
    }
}

} // namespace ferrocase
