#include "strong/strong_header.h"

#include "file_system/engine_error.h"
#include "strong/strong_error.h"

#include <algorithm>
#include <cstdlib>
#include <sodium.h>

namespace ferrocase {
namespace {

constexpr std::array<std::uint8_t, 4> magic{0x89, 'F', 'X', 'S'};
constexpr std::uint8_t kdf_argon2id = 1;
constexpr std::uint8_t kdf_lanes = 1;
constexpr std::uint32_t least_memory_kib = 8;

// Field offsets.
constexpr std::size_t version_at = 4;
constexpr std::size_t aead_at = 5;
constexpr std::size_t kdf_at = 6;
constexpr std::size_t lanes_at = 7;
constexpr std::size_t iterations_at = 8;
constexpr std::size_t memory_at = 12;
constexpr std::size_t chunk_size_at = 16;
constexpr std::size_t salt_at = 20;
constexpr std::size_t nonce_prefix_at = salt_at + salt_size;
static_assert(nonce_prefix_at + nonce_prefix_size == header_size);

void put_u32(HeaderBytes& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t index = 0; index < 4; ++index) {
        bytes[at + index] = static_cast<std::uint8_t>(value >> (8 * index));
    }
}

std::uint32_t get_u32(std::span<const std::uint8_t> bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t index = 0; index < 4; ++index) {
        value |= static_cast<std::uint32_t>(bytes[at + index]) << (8 * index);
    }
    return value;
}

DecodedHeader refused(std::error_code error, std::int64_t at_byte = -1) {
    return {std::nullopt, error, at_byte};
}

// A field no version writes. Version 1 cannot tell damage from a wrong password; version 2 can
// name the field, since its header check would fail anyway.
DecodedHeader unreadable(std::uint8_t version, std::size_t field_at) {
    if (version == first_version) {
        return refused(EngineError::wrong_password_or_damaged);
    }
    return refused(StrongError::damaged, static_cast<std::int64_t>(field_at));
}

// A choice only a later version could have made (another cipher or hash).
DecodedHeader unknown(std::uint8_t version) {
    if (version == first_version) {
        return refused(EngineError::wrong_password_or_damaged);
    }
    return refused(StrongError::newer_version);
}

} // namespace

HeaderBytes encode_header(const StrongHeader& header) {
    HeaderBytes bytes{};
    std::copy(magic.begin(), magic.end(), bytes.begin());
    bytes[version_at] = header.version;
    bytes[aead_at] = static_cast<std::uint8_t>(header.aead);
    bytes[kdf_at] = kdf_argon2id;
    bytes[lanes_at] = kdf_lanes;
    put_u32(bytes, iterations_at, header.kdf.iterations);
    put_u32(bytes, memory_at, header.kdf.memory_kib);
    put_u32(bytes, chunk_size_at, header.chunk_size);
    std::copy(header.salt.begin(), header.salt.end(), bytes.begin() + salt_at);
    std::copy(header.nonce_prefix.begin(), header.nonce_prefix.end(),
              bytes.begin() + nonce_prefix_at);
    return bytes;
}

std::size_t stored_header_size(std::uint8_t version) {
    return version == first_version ? header_size : header_size + header_check_size;
}

DecodedHeader decode_header(std::span<const std::uint8_t> bytes) {
    if (bytes.size() <= version_at || !std::equal(magic.begin(), magic.end(), bytes.begin())) {
        return refused(StrongError::not_a_strong_file);
    }
    const std::uint8_t version = bytes[version_at];
    if (version > current_version) {
        return refused(StrongError::newer_version);
    }
    if (version < first_version) {
        return refused(EngineError::wrong_password_or_damaged);
    }
    if (bytes.size() < stored_header_size(version)) {
        return unreadable(version, bytes.size());
    }
    const std::uint8_t aead = bytes[aead_at];
    if (bytes[kdf_at] != kdf_argon2id || bytes[lanes_at] != kdf_lanes ||
        (aead != static_cast<std::uint8_t>(Aead::aes_256_gcm) &&
         aead != static_cast<std::uint8_t>(Aead::chacha20_poly1305))) {
        return unknown(version);
    }
    StrongHeader header;
    header.version = version;
    header.aead = static_cast<Aead>(aead);
    header.kdf = {.iterations = get_u32(bytes, iterations_at),
                  .memory_kib = get_u32(bytes, memory_at)};
    header.chunk_size = get_u32(bytes, chunk_size_at);
    if (header.kdf.iterations > most_iterations) {
        return refused(StrongError::iterations_beyond_limit);
    }
    if (header.kdf.memory_kib > most_memory_kib) {
        return refused(StrongError::memory_beyond_limit);
    }
    if (header.chunk_size > largest_chunk_size) {
        return refused(StrongError::chunk_size_beyond_limit);
    }
    if (header.kdf.iterations < 1) {
        return unreadable(version, iterations_at);
    }
    if (header.kdf.memory_kib < least_memory_kib) {
        return unreadable(version, memory_at);
    }
    if (header.chunk_size < 1) {
        return unreadable(version, chunk_size_at);
    }
    std::copy_n(bytes.begin() + salt_at, salt_size, header.salt.begin());
    std::copy_n(bytes.begin() + nonce_prefix_at, nonce_prefix_size, header.nonce_prefix.begin());
    return {header, {}, -1};
}

StrongHeader new_header(KdfParameters kdf, std::uint32_t chunk_size) {
    if (sodium_init() < 0) {
        std::abort(); // no source of randomness: nothing may be encrypted
    }
    StrongHeader header;
    header.aead =
        crypto_aead_aes256gcm_is_available() == 1 ? Aead::aes_256_gcm : Aead::chacha20_poly1305;
    header.kdf = kdf;
    header.chunk_size = chunk_size;
    randombytes_buf(header.salt.data(), header.salt.size());
    randombytes_buf(header.nonce_prefix.data(), header.nonce_prefix.size());
    return header;
}

} // namespace ferrocase
