#pragma once

#include "strong/strong_header.h"

#include <array>
#include <string>
#include <string_view>
#include <system_error>

namespace ferrocase {

using Key = std::array<std::uint8_t, key_size>;

// Argon2id over the password's UTF-8 bytes. Fails only when the memory cannot be had.
std::error_code derive_key(std::string_view password, std::span<const std::uint8_t> salt,
                           const KdfParameters& parameters, Key& key);

// Overwrites a secret so that it does not outlive its use in freed memory. A text is emptied
// too; copies a string made when it grew are beyond reach.
void wipe(std::span<std::uint8_t> secret);
void wipe(std::string& secret);
void wipe(std::u32string& secret);

} // namespace ferrocase
