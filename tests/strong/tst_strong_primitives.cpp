#include "strong/aead_context.h"
#include "strong/key_derivation.h"
#include "strong/password_text.h"

#include <QTest>
#include <argon2.h>

using namespace ferrocase;

Q_DECLARE_METATYPE(ferrocase::Aead)

namespace {

std::vector<std::uint8_t> from_hex(const char* hex) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    return {bytes.begin(), bytes.end()};
}

QByteArray to_hex(std::span<const std::uint8_t> bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex();
}

} // namespace

class StrongPrimitivesTest : public QObject {
    Q_OBJECT

private slots:
    // Published vectors: McGrew and Viega's GCM test cases 13, 14 and 16 (AES-256), and the
    // AEAD example of RFC 8439, section 2.8.2.
    void aeadMatchesPublishedVectors_data() {
        QTest::addColumn<Aead>("aead");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("nonce");
        QTest::addColumn<QByteArray>("ad");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("sealed"); // cipher text, then tag
        const QByteArray zero_key(64, '0');
        QTest::addRow("GCM test case 13")
            << Aead::aes_256_gcm << zero_key << QByteArray(24, '0') << QByteArray() << QByteArray()
            << QByteArray("530f8afbc74536b9a963b4f1c4cb738b");
        QTest::addRow("GCM test case 14")
            << Aead::aes_256_gcm << zero_key << QByteArray(24, '0') << QByteArray()
            << QByteArray(32, '0')
            << QByteArray("cea7403d4d606b6e074ec5d3baf39d18d0d1c8a799996bf0265b98b5d48ab919");
        QTest::addRow("GCM test case 16")
            << Aead::aes_256_gcm
            << QByteArray("feffe9928665731c6d6a8f9467308308feffe9928665731c6d6a8f9467308308")
            << QByteArray("cafebabefacedbaddecaf888")
            << QByteArray("feedfacedeadbeeffeedfacedeadbeefabaddad2")
            << QByteArray("d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a72"
                          "1c3c0c95956809532fcf0e2449a6b525b16aedf5aa0de657ba637b39")
            << QByteArray("522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa"
                          "8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0abcc9f662"
                          "76fc6ece0f4e1768cddf8853bb2d551b");
        QTest::addRow("RFC 8439 2.8.2")
            << Aead::chacha20_poly1305
            << QByteArray("808182838485868788898a8b8c8d8e8f909192939495969798999a9b9c9d9e9f")
            << QByteArray("070000004041424344454647") << QByteArray("50515253c0c1c2c3c4c5c6c7")
            << QByteArray("Ladies and Gentlemen of the class of '99: If I could offer you only "
                          "one tip for the future, sunscreen would be it.")
                   .toHex()
            << QByteArray("d31a8d34648e60db7b86afbc53ef7ec2a4aded51296e08fea9e2b5a736ee62d6"
                          "3dbea45e8ca9671282fafb69da92728b1a71de0a9e060b2905d6a5b67ecd3b36"
                          "92ddbd7f2d778b8c9803aee328091b58fab324e4fad675945585808b4831d7bc"
                          "3ff4def08e4b7a9de576d26586cec64b6116"
                          "1ae10b594f09e26a7e902ecbd0600691");
    }
    void aeadMatchesPublishedVectors() {
        QFETCH(Aead, aead);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, nonce);
        QFETCH(QByteArray, ad);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, sealed);
        const auto key_bytes = from_hex(key);
        const auto nonce_bytes = from_hex(nonce);
        const auto ad_bytes = from_hex(ad);
        Nonce fixed_nonce;
        std::copy(nonce_bytes.begin(), nonce_bytes.end(), fixed_nonce.begin());
        AeadContext context(aead, std::span<const std::uint8_t, key_size>(key_bytes));

        const auto text = from_hex(plain);
        std::vector<std::uint8_t> cipher_text(text.size()), opened(text.size());
        Tag tag;
        context.seal(fixed_nonce, ad_bytes, text, cipher_text, tag);
        QCOMPARE(to_hex(cipher_text) + to_hex(tag), sealed);

        QVERIFY(context.open(fixed_nonce, ad_bytes, cipher_text, opened, tag));
        QCOMPARE(to_hex(opened), plain);
        tag[0] ^= 1;
        QVERIFY(!context.open(fixed_nonce, ad_bytes, cipher_text, opened, tag));
    }

    // libsodium's interface has one lane and no secret, so the RFC 9106 vector (section 5.3)
    // checks the reference implementation, which must then agree with libsodium.
    void argon2idMatchesRfc9106ThroughTheReference() {
        std::vector<std::uint8_t> password(32, 0x01), salt(16, 0x02), secret(8, 0x03), ad(12, 0x04),
            tag(32);
        argon2_context context{};
        context.out = tag.data();
        context.outlen = 32;
        context.pwd = password.data();
        context.pwdlen = 32;
        context.salt = salt.data();
        context.saltlen = 16;
        context.secret = secret.data();
        context.secretlen = 8;
        context.ad = ad.data();
        context.adlen = 12;
        context.t_cost = 3;
        context.m_cost = 32;
        context.lanes = 4;
        context.threads = 4;
        context.version = ARGON2_VERSION_13;
        QCOMPARE(argon2_ctx(&context, Argon2_id), int(ARGON2_OK));
        QCOMPARE(to_hex(tag),
                 QByteArray("0d640df58d78766c08c037a34a8b53c9d01ef0452d75b65eb52520e96b01e659"));

        for (const KdfParameters parameters : {KdfParameters{1, 8}, KdfParameters{3, 4096}}) {
            Key ours{};
            QVERIFY(!derive_key("pass\xC3\xA9word", salt, parameters, ours));
            const char* text = "pass\xC3\xA9word";
            std::vector<std::uint8_t> reference(key_size);
            QCOMPARE(argon2id_hash_raw(parameters.iterations, parameters.memory_kib, 1, text,
                                       std::strlen(text), salt.data(), salt.size(),
                                       reference.data(), reference.size()),
                     int(ARGON2_OK));
            QCOMPARE(to_hex(ours), to_hex(reference));
        }
    }

    void passwordsAreComposedUtf8_data() {
        QTest::addColumn<QByteArray>("typed");
        QTest::addColumn<QByteArray>("stored"); // hex; empty when refused
        QTest::addRow("decomposed e acute") << QByteArray("e\xCC\x81") << QByteArray("c3a9");
        QTest::addRow("composed stays") << QByteArray("\xC3\xA9") << QByteArray("c3a9");
        QTest::addRow("Hangul jamo compose")
            << QByteArray("\xE1\x84\x80\xE1\x85\xA1") << QByteArray("eab080");
        QTest::addRow("compatibility forms are kept")
            << QByteArray("\xEF\xAC\x81") << QByteArray("efac81");
        QTest::addRow("invalid UTF-8 refused") << QByteArray("\xC3") << QByteArray();
    }
    void passwordsAreComposedUtf8() {
        QFETCH(QByteArray, typed);
        QFETCH(QByteArray, stored);
        const auto result = strong_password(std::string_view(typed.data(), typed.size()));
        QCOMPARE(result.has_value(), !stored.isEmpty());
        if (result) {
            QCOMPARE(QByteArray::fromStdString(*result).toHex(), stored);
            QCOMPARE(strong_password(QString::fromUtf8(typed).toStdU32String()), result);
        }
    }
};

QTEST_APPLESS_MAIN(StrongPrimitivesTest)
#include "tst_strong_primitives.moc"
