#include "strong/key_derivation.h"

#include <sodium.h>

namespace ferrocase {

std::error_code derive_key(std::string_view password, std::span<const std::uint8_t> salt,
                           const KdfParameters& parameters, Key& key) {
    if (sodium_init() < 0 || salt.size() != crypto_pwhash_SALTBYTES) {
        return std::make_error_code(std::errc::invalid_argument);
    }
    const int status =
        crypto_pwhash(key.data(), key.size(), password.data(), password.size(), salt.data(),
                      parameters.iterations, std::size_t{parameters.memory_kib} * 1024,
                      crypto_pwhash_ALG_ARGON2ID13);
    return status == 0 ? std::error_code{} : std::make_error_code(std::errc::not_enough_memory);
}

void wipe(std::span<std::uint8_t> secret) {
    sodium_memzero(secret.data(), secret.size());
}

void wipe(std::string& secret) {
    sodium_memzero(secret.data(), secret.size());
    secret.clear();
}

void wipe(std::u32string& secret) {
    sodium_memzero(secret.data(), secret.size() * sizeof(char32_t));
    secret.clear();
}

} // namespace ferrocase
