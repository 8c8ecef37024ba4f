#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <system_error>

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
// A reader's limits, well beyond what the writer asks for: a hostile header must not cost
// minutes and gigabytes.
inline constexpr std::uint32_t most_iterations = 16;
inline constexpr std::uint32_t most_memory_kib = 1024 * 1024;

// Version 1 has no header check; version 2 follows the header with one.
inline constexpr std::uint8_t first_version = 1;
inline constexpr std::uint8_t current_version = 2;

inline constexpr std::size_t salt_size = 16;
inline constexpr std::size_t nonce_prefix_size = 7;
inline constexpr std::size_t tag_size = 16;
inline constexpr std::size_t key_size = 32;
inline constexpr std::size_t header_size = 43;
inline constexpr std::size_t header_check_size = 32;

struct StrongHeader {
    std::uint8_t version = current_version;
    Aead aead = Aead::aes_256_gcm;
    KdfParameters kdf;
    std::uint32_t chunk_size = default_chunk_size; // plain bytes per chunk
    std::array<std::uint8_t, salt_size> salt{};
    std::array<std::uint8_t, nonce_prefix_size> nonce_prefix{};

    bool operator==(const StrongHeader&) const = default;
};

using HeaderBytes = std::array<std::uint8_t, header_size>;

using HeaderCheck = std::array<std::uint8_t, header_check_size>;

// Where the first chunk starts: after the header, and in version 2 after its check.
std::size_t stored_header_size(std::uint8_t version);

HeaderBytes encode_header(const StrongHeader& header);

// A header, or why the bytes are none this program may read, told before any hashing.
struct DecodedHeader {
    std::optional<StrongHeader> header;
    std::error_code error;
    std::int64_t at_byte = -1; // the damaged field of a version 2 header
};
DecodedHeader decode_header(std::span<const std::uint8_t> bytes);

// A fresh random salt and nonce prefix, and the faster cipher for this processor.
StrongHeader new_header(KdfParameters kdf = default_kdf,
                        std::uint32_t chunk_size = default_chunk_size);

} // namespace ferrocase
