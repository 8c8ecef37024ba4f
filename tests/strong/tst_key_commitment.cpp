#include "strong/aead_context.h"
#include "strong/header_check.h"
#include "strong/strong_error.h"
#include "tests/strong/strong_test_files.h"

#include <QTemporaryDir>
#include <QTest>

using namespace ferrocase;
using namespace ferrocase::testing;

namespace {

// An element of GCM's field GF(2^128), in its bit order: the first bit is the lowest power.
struct Element {
    std::uint64_t high = 0, low = 0;

    static Element of(std::span<const std::uint8_t> bytes) {
        Element element;
        for (std::size_t index = 0; index < 8; ++index) {
            element.high = element.high << 8 | bytes[index];
            element.low = element.low << 8 | bytes[8 + index];
        }
        return element;
    }
    Bytes bytes() const {
        Bytes out(16);
        for (std::size_t index = 0; index < 8; ++index) {
            out[index] = std::uint8_t(high >> (56 - 8 * index));
            out[8 + index] = std::uint8_t(low >> (56 - 8 * index));
        }
        return out;
    }
    Element operator^(const Element& other) const { return {high ^ other.high, low ^ other.low}; }

    // NIST SP 800-38D, algorithm 1.
    Element operator*(const Element& other) const {
        Element product, shifted = other;
        for (int bit = 0; bit < 128; ++bit) {
            const std::uint64_t word = bit < 64 ? high : low;
            if ((word >> (63 - bit % 64)) & 1) {
                product = product ^ shifted;
            }
            const bool carry = shifted.low & 1;
            shifted.low = shifted.low >> 1 | shifted.high << 63;
            shifted.high >>= 1;
            if (carry) {
                shifted.high ^= std::uint64_t{0xe1} << 56;
            }
        }
        return product;
    }
    // a^(2^128 - 2): every bit of the exponent is set except the lowest.
    Element inverse() const {
        Element result{std::uint64_t{1} << 63, 0};
        for (int bit = 127; bit >= 0; --bit) {
            result = result * result;
            if (bit != 0) {
                result = result * *this;
            }
        }
        return result;
    }
};

// The GCM tag of cipher text `sealed` under one key: sealing the plain text that encrypts to it.
Element tag_of(const Key& key, const Nonce& nonce, const HeaderBytes& header, const Bytes& sealed) {
    AeadContext context(Aead::aes_256_gcm, key);
    Bytes keystream(sealed.size()), plain(sealed.size()), again(sealed.size());
    Tag tag;
    context.seal(nonce, header, Bytes(sealed.size()), keystream, tag);
    for (std::size_t index = 0; index < sealed.size(); ++index) {
        plain[index] = keystream[index] ^ sealed[index];
    }
    context.seal(nonce, header, plain, again, tag);
    return Element::of(tag);
}

// One 32-byte chunk whose tag holds under both keys, as the review built it: the tag is affine
// in the first cipher text block, so one linear equation in GF(2^128) fixes that block.
Bytes chunk_for_both(const Key& first, const Key& second, const Nonce& nonce,
                     const HeaderBytes& header) {
    Bytes zero(32), one(32);
    one[0] = 0x80; // the field's 1
    const Element first_zero = tag_of(first, nonce, header, zero);
    const Element second_zero = tag_of(second, nonce, header, zero);
    const Element first_slope = tag_of(first, nonce, header, one) ^ first_zero;
    const Element second_slope = tag_of(second, nonce, header, one) ^ second_zero;
    const Element block = (first_zero ^ second_zero) * (first_slope ^ second_slope).inverse();
    Bytes chunk = block.bytes();
    chunk.resize(32);
    const Bytes tag = (first_zero ^ block * first_slope).bytes();
    chunk.insert(chunk.end(), tag.begin(), tag.end());
    return chunk;
}

Key password_hash(const std::string& password, const StrongHeader& header) {
    Key key{};
    if (derive_key(password, header.salt, header.kdf, key)) {
        throw std::runtime_error("no password hash");
    }
    return key;
}

Key chunk_key(const std::string& password, const StrongHeader& header) {
    const Key hash = password_hash(password, header);
    return header.version == first_version ? hash : FileKeys(hash).chunk;
}

} // namespace

class KeyCommitmentTest : public QObject {
    Q_OBJECT

private slots:
    // Version 1 opens the crafted file under both passwords, with different contents: the
    // construction works. Version 2 refuses it under the second one at the header check.
    void oneFileForTwoPasswords_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("version 1") << 1;
        QTest::newRow("version 2") << 2;
    }
    void oneFileForTwoPasswords() {
        QFETCH(int, version);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const std::filesystem::path path(folder.path().toStdString());
        const std::string first = "first password", second = "second password";
        StrongHeader header = new_header(quick_kdf, 32);
        header.aead = Aead::aes_256_gcm;
        header.version = std::uint8_t(version);
        const HeaderBytes header_bytes = encode_header(header);

        Bytes stored(header_bytes.begin(), header_bytes.end());
        if (version == 2) {
            const auto check = header_check(FileKeys(password_hash(first, header)), header_bytes);
            stored.insert(stored.end(), check.begin(), check.end());
        }
        const Bytes chunk = chunk_for_both(chunk_key(first, header), chunk_key(second, header),
                                           chunk_nonce(header.nonce_prefix, 0, true), header_bytes);
        stored.insert(stored.end(), chunk.begin(), chunk.end());

        const auto under_first = strong_decrypted(path, stored, first);
        const auto under_second = strong_decrypted(path, stored, second);
        QVERIFY2(under_first.result.ok(), under_first.result.describe().c_str());
        if (version == 1) {
            QVERIFY2(under_second.result.ok(), under_second.result.describe().c_str());
            QVERIFY(under_first.plain != under_second.plain);
        } else {
            QCOMPARE(under_second.result.error, make_error_code(StrongError::wrong_password));
            QCOMPARE(under_second.listing, std::vector<std::string>{"secret.fxs"});
        }
    }

    // RFC 5869 test cases 1 and 3; RFC 4231 test cases 1 and 2.
    void hkdfAndHmacMatchPublishedVectors_data() {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("salt"); // empty for HMAC
        QTest::addColumn<QByteArray>("info"); // HKDF's info, or HMAC's data
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<bool>("hkdf");
        const QByteArray ikm(22, '\x0b');
        QTest::newRow("HKDF case 1") << ikm << QByteArray::fromHex("000102030405060708090a0b0c")
                                     << QByteArray::fromHex("f0f1f2f3f4f5f6f7f8f9")
                                     << QByteArray("3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4"
                                                   "c5db02d56ecc4c5bf34007208d5b887185865")
                                     << true;
        QTest::newRow("HKDF case 3, no salt, no info")
            << ikm << QByteArray() << QByteArray()
            << QByteArray("8da4e775a563c18f715f802a063c5a31b8a11f5c5ee1879ec3454e5f3c738d2d9d201395"
                          "faa4b61a96c8")
            << true;
        QTest::newRow("HMAC case 1")
            << QByteArray(20, '\x0b') << QByteArray() << QByteArray("Hi There")
            << QByteArray("b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7")
            << false;
        QTest::newRow("HMAC case 2")
            << QByteArray("Jefe") << QByteArray() << QByteArray("what do ya want for nothing?")
            << QByteArray("5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843")
            << false;
    }
    void hkdfAndHmacMatchPublishedVectors() {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, salt);
        QFETCH(QByteArray, info);
        QFETCH(QByteArray, expected);
        QFETCH(bool, hkdf);
        const auto bytes = [](const QByteArray& array) {
            return std::span(reinterpret_cast<const std::uint8_t*>(array.data()),
                             std::size_t(array.size()));
        };
        Bytes output(std::size_t(expected.size() / 2));
        if (hkdf) {
            hkdf_sha256(bytes(key), bytes(salt), info.toStdString(), output);
        } else {
            const auto mac = hmac_sha256(bytes(key), bytes(info));
            output.assign(mac.begin(), mac.end());
        }
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(output.data()), qsizetype(output.size()))
                     .toHex(),
                 expected);
    }
};

QTEST_APPLESS_MAIN(KeyCommitmentTest)
#include "tst_key_commitment.moc"
