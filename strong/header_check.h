#pragma once

#include "strong/key_derivation.h"

#include <span>
#include <string_view>

namespace ferrocase {

// HKDF-SHA-256 (RFC 5869), extract and expand, into `output`.
void hkdf_sha256(std::span<const std::uint8_t> input_key, std::span<const std::uint8_t> salt,
                 std::string_view info, std::span<std::uint8_t> output);

// HMAC-SHA-256 (RFC 2104).
HeaderCheck hmac_sha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data);

// A version 2 file's two keys, both from the password hash's output: one seals the chunks, the
// other checks the header. The check commits the file to one password before any chunk is
// opened. Wiped when they go.
struct FileKeys {
    Key chunk{};
    Key check{};

    explicit FileKeys(const Key& password_hash);
    ~FileKeys();
    FileKeys(const FileKeys&) = delete;
    FileKeys& operator=(const FileKeys&) = delete;
};

HeaderCheck header_check(const FileKeys& keys, const HeaderBytes& header);

// In constant time, so that the comparison tells nothing of the expected value.
bool same_check(const HeaderCheck& expected, std::span<const std::uint8_t> stored);

} // namespace ferrocase
