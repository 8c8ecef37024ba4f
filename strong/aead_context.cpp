#include "strong/aead_context.h"

#include <climits>
#include <cstdlib>
#include <openssl/evp.h>

namespace ferrocase {
namespace {

const EVP_CIPHER* cipher_of(Aead aead) {
    return aead == Aead::aes_256_gcm ? EVP_aes_256_gcm() : EVP_chacha20_poly1305();
}

// Failures here are programming errors (a null context, a length beyond int), never bad input:
// carrying on could write unencrypted bytes.
void require(bool ok) {
    if (!ok) {
        std::abort();
    }
}

int length_of(std::size_t size) {
    require(size <= INT_MAX);
    return static_cast<int>(size);
}

} // namespace

Nonce chunk_nonce(std::span<const std::uint8_t, nonce_prefix_size> prefix, std::uint32_t counter,
                  bool last) {
    Nonce nonce{};
    std::copy(prefix.begin(), prefix.end(), nonce.begin());
    for (std::size_t index = 0; index < 4; ++index) {
        nonce[nonce_prefix_size + index] = static_cast<std::uint8_t>(counter >> (24 - 8 * index));
    }
    nonce[nonce_size - 1] = last ? 1 : 0;
    return nonce;
}

AeadContext::AeadContext(Aead aead, std::span<const std::uint8_t, key_size> key)
    : encrypt_(EVP_CIPHER_CTX_new()), decrypt_(EVP_CIPHER_CTX_new()) {
    require(encrypt_ && decrypt_);
    require(EVP_EncryptInit_ex(encrypt_, cipher_of(aead), nullptr, key.data(), nullptr) == 1);
    require(EVP_DecryptInit_ex(decrypt_, cipher_of(aead), nullptr, key.data(), nullptr) == 1);
}

AeadContext::~AeadContext() {
    EVP_CIPHER_CTX_free(encrypt_);
    EVP_CIPHER_CTX_free(decrypt_);
}

void AeadContext::seal(const Nonce& nonce, std::span<const std::uint8_t> associated_data,
                       std::span<const std::uint8_t> plain, std::span<std::uint8_t> sealed,
                       std::span<std::uint8_t, tag_size> tag) {
    require(plain.size() == sealed.size());
    int length = 0;
    require(EVP_EncryptInit_ex(encrypt_, nullptr, nullptr, nullptr, nonce.data()) == 1);
    require(EVP_EncryptUpdate(encrypt_, nullptr, &length, associated_data.data(),
                              length_of(associated_data.size())) == 1);
    require(EVP_EncryptUpdate(encrypt_, sealed.data(), &length, plain.data(),
                              length_of(plain.size())) == 1);
    require(EVP_EncryptFinal_ex(encrypt_, sealed.data() + length, &length) == 1);
    require(EVP_CIPHER_CTX_ctrl(encrypt_, EVP_CTRL_AEAD_GET_TAG, tag_size, tag.data()) == 1);
}

bool AeadContext::open(const Nonce& nonce, std::span<const std::uint8_t> associated_data,
                       std::span<const std::uint8_t> sealed, std::span<std::uint8_t> plain,
                       std::span<const std::uint8_t, tag_size> tag) {
    require(plain.size() == sealed.size());
    int length = 0;
    Tag expected;
    std::copy(tag.begin(), tag.end(), expected.begin());
    require(EVP_DecryptInit_ex(decrypt_, nullptr, nullptr, nullptr, nonce.data()) == 1);
    require(EVP_DecryptUpdate(decrypt_, nullptr, &length, associated_data.data(),
                              length_of(associated_data.size())) == 1);
    require(EVP_DecryptUpdate(decrypt_, plain.data(), &length, sealed.data(),
                              length_of(sealed.size())) == 1);
    require(EVP_CIPHER_CTX_ctrl(decrypt_, EVP_CTRL_AEAD_SET_TAG, tag_size, expected.data()) == 1);
    return EVP_DecryptFinal_ex(decrypt_, plain.data() + length, &length) == 1;
}

} // namespace ferrocase
