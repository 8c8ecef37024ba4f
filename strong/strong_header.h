#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace ferrocase {

enum class Aead : std::uint8_t { aes_256_gcm = 1, chacha20_poly1305 = 2 };

// Argon2id (version 1.3) with one lane.
struct KdfParameters {
    std::uint32_t iterations = 0;
    std::uint32_t memory_kib = 0;

    bool operator==(const KdfParameters&) const = default;
};

// About half a second on a current desktop processor.
inline constexpr KdfParameters default_kdf{.iterations = 3, .memory_kib = 176 * 1024};
inline constexpr std::uint32_t default_chunk_size = 64 * 1024;
inline constexpr std::uint32_t largest_chunk_size = 1024 * 1024;

inline constexpr std::size_t salt_size = 16;
inline constexpr std::size_t nonce_prefix_size = 7;
inline constexpr std::size_t tag_size = 16;
inline constexpr std::size_t key_size = 32;
inline constexpr std::size_t header_size = 43;

struct StrongHeader {
    Aead aead = Aead::aes_256_gcm;
    KdfParameters kdf;
    std::uint32_t chunk_size = default_chunk_size; // plain bytes per chunk
    std::array<std::uint8_t, salt_size> salt{};
    std::array<std::uint8_t, nonce_prefix_size> nonce_prefix{};

    bool operator==(const StrongHeader&) const = default;
};

using HeaderBytes = std::array<std::uint8_t, header_size>;

HeaderBytes encode_header(const StrongHeader& header);

// Nothing for bytes that are not a header this version writes, or whose parameters are beyond
// what a file of ours could carry (a damaged file must not make us hash for hours).
std::optional<StrongHeader> decode_header(std::span<const std::uint8_t> bytes);

// A fresh random salt and nonce prefix, and the faster cipher for this processor.
StrongHeader new_header(KdfParameters kdf = default_kdf,
                        std::uint32_t chunk_size = default_chunk_size);

} // namespace ferrocase
