#pragma once

#include "strong/strong_header.h"

#include <array>
#include <cstdint>
#include <span>

typedef struct evp_cipher_ctx_st EVP_CIPHER_CTX;

namespace ferrocase {

inline constexpr std::size_t nonce_size = 12;
using Nonce = std::array<std::uint8_t, nonce_size>;
using Tag = std::array<std::uint8_t, tag_size>;

// The nonce of one chunk: the file's random prefix, the chunk's number (big-endian) and a flag
// that is 1 for the last chunk only.
Nonce chunk_nonce(std::span<const std::uint8_t, nonce_prefix_size> prefix, std::uint32_t counter,
                  bool last);

// One key of one AEAD, kept set up so that each chunk costs only its nonce and its bytes.
class AeadContext {
public:
    AeadContext(Aead aead, std::span<const std::uint8_t, key_size> key);
    ~AeadContext();
    AeadContext(const AeadContext&) = delete;
    AeadContext& operator=(const AeadContext&) = delete;

    // Encrypts `plain` into `sealed`, of the same size, and gives its tag.
    void seal(const Nonce& nonce, std::span<const std::uint8_t> associated_data,
              std::span<const std::uint8_t> plain, std::span<std::uint8_t> sealed,
              std::span<std::uint8_t, tag_size> tag);
    // Decrypts `sealed` into `plain`, of the same size; false when the tag
    // does not match, and then `plain` must not be used.
    bool open(const Nonce& nonce, std::span<const std::uint8_t> associated_data,
              std::span<const std::uint8_t> sealed, std::span<std::uint8_t> plain,
              std::span<const std::uint8_t, tag_size> tag);

private:
    EVP_CIPHER_CTX* encrypt_;
    EVP_CIPHER_CTX* decrypt_;
};

} // namespace ferrocase
