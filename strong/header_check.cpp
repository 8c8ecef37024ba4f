#include "strong/header_check.h"

#include <cstdlib>
#include <memory>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <vector>

namespace ferrocase {
namespace {

// The algorithms are built into OpenSSL: a failure is a broken installation, and going on
// could write a file no one can check.
void require(bool ok) {
    if (!ok) {
        std::abort();
    }
}

OSSL_PARAM octets(const char* name, std::span<const std::uint8_t> bytes) {
    // OpenSSL only reads input parameters; its interface is not const-correct.
    return OSSL_PARAM_construct_octet_string(name, const_cast<std::uint8_t*>(bytes.data()),
                                             bytes.size());
}

} // namespace

void hkdf_sha256(std::span<const std::uint8_t> input_key, std::span<const std::uint8_t> salt,
                 std::string_view info, std::span<std::uint8_t> output) {
    const std::unique_ptr<EVP_KDF, decltype(&EVP_KDF_free)> kdf(
        EVP_KDF_fetch(nullptr, "HKDF", nullptr), &EVP_KDF_free);
    require(kdf != nullptr);
    const std::unique_ptr<EVP_KDF_CTX, decltype(&EVP_KDF_CTX_free)> context(
        EVP_KDF_CTX_new(kdf.get()), &EVP_KDF_CTX_free);
    require(context != nullptr);
    char digest[] = "SHA256";
    const std::span info_bytes(reinterpret_cast<const std::uint8_t*>(info.data()), info.size());
    std::vector<OSSL_PARAM> parameters{
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        octets(OSSL_KDF_PARAM_KEY, input_key), octets(OSSL_KDF_PARAM_INFO, info_bytes)};
    // Left out, the salt is a block of zeros, as RFC 5869 says for a missing one.
    if (!salt.empty()) {
        parameters.push_back(octets(OSSL_KDF_PARAM_SALT, salt));
    }
    parameters.push_back(OSSL_PARAM_construct_end());
    require(EVP_KDF_derive(context.get(), output.data(), output.size(), parameters.data()) == 1);
}

HeaderCheck hmac_sha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data) {
    const std::unique_ptr<EVP_MAC, decltype(&EVP_MAC_free)> mac(
        EVP_MAC_fetch(nullptr, "HMAC", nullptr), &EVP_MAC_free);
    require(mac != nullptr);
    const std::unique_ptr<EVP_MAC_CTX, decltype(&EVP_MAC_CTX_free)> context(
        EVP_MAC_CTX_new(mac.get()), &EVP_MAC_CTX_free);
    require(context != nullptr);
    char digest[] = "SHA256";
    const OSSL_PARAM parameters[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_end()};
    HeaderCheck value{};
    std::size_t length = 0;
    require(EVP_MAC_init(context.get(), key.data(), key.size(), parameters) == 1 &&
            EVP_MAC_update(context.get(), data.data(), data.size()) == 1 &&
            EVP_MAC_final(context.get(), value.data(), &length, value.size()) == 1 &&
            length == value.size());
    return value;
}

FileKeys::FileKeys(const Key& password_hash) {
    // No salt: the password hash's output is already uniform and unique to this file.
    hkdf_sha256(password_hash, {}, "ferrocase fxs 2 chunk key", chunk);
    hkdf_sha256(password_hash, {}, "ferrocase fxs 2 header check key", check);
}

FileKeys::~FileKeys() {
    wipe(chunk);
    wipe(check);
}

HeaderCheck header_check(const FileKeys& keys, const HeaderBytes& header) {
    return hmac_sha256(keys.check, header);
}

bool same_check(const HeaderCheck& expected, std::span<const std::uint8_t> stored) {
    return stored.size() == expected.size() &&
           CRYPTO_memcmp(expected.data(), stored.data(), expected.size()) == 0;
}

} // namespace ferrocase
