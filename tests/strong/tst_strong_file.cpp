#include "engine/engine_error.h"
#include "strong/key_derivation.h"
#include "strong/strong_file.h"
#include "tests/strong/strong_test_files.h"
#include "tests/support/faulty_file_system.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(ferrocase::Aead)
Q_DECLARE_METATYPE(ferrocase::testing::Operation)

namespace {

enum class Tamper {
    flip_every_byte,
    cut_at_every_chunk_boundary,
    drop_last_byte,
    swap_first_chunks,
    drop_middle_chunk,
    repeat_last_chunk,
    other_aead,
    more_iterations,
    more_memory,
    longer_chunks,
    other_salt,
    other_nonce_prefix,
    wrong_password,
    composed_differently_is_another_password,
};

constexpr std::size_t stored_chunk = 16 + tag_size;

// The tampered copies of one stored file that a kind of tampering gives.
std::vector<Bytes> tampered(Tamper tamper, const Bytes& stored) {
    const auto chunk_at = [](Bytes& bytes, std::size_t index) {
        return bytes.begin() + std::ptrdiff_t(header_size + index * stored_chunk);
    };
    std::vector<Bytes> copies;
    Bytes copy = stored;
    switch (tamper) {
    case Tamper::flip_every_byte:
        for (std::size_t index = 0; index < stored.size(); ++index) {
            copies.push_back(stored);
            copies.back()[index] ^= 0x01;
        }
        return copies;
    case Tamper::cut_at_every_chunk_boundary:
        for (std::size_t length = 0; length < stored.size(); length += stored_chunk) {
            copies.emplace_back(
                stored.begin(),
                stored.begin() + std::ptrdiff_t(std::min(length + header_size, stored.size() - 1)));
        }
        copies.emplace_back(stored.begin(), stored.begin() + 3);
        return copies;
    case Tamper::drop_last_byte:
        copy.pop_back();
        break;
    case Tamper::swap_first_chunks:
        std::swap_ranges(chunk_at(copy, 0), chunk_at(copy, 1), chunk_at(copy, 1));
        break;
    case Tamper::drop_middle_chunk:
        copy.erase(chunk_at(copy, 1), chunk_at(copy, 2));
        break;
    case Tamper::repeat_last_chunk:
        copy.insert(copy.end(), stored.begin() + (chunk_at(copy, 2) - copy.begin()), stored.end());
        break;
    case Tamper::other_aead:
        copy[5] = copy[5] == 1 ? 2 : 1;
        break;
    case Tamper::more_iterations:
        copy[8] += 1;
        break;
    case Tamper::more_memory:
        copy[12] += 8;
        break;
    case Tamper::longer_chunks:
        copy[16] += 16;
        break;
    case Tamper::other_salt:
        copy[20 + 15] ^= 0x80;
        break;
    case Tamper::other_nonce_prefix:
        copy[36] ^= 0x80;
        break;
    case Tamper::wrong_password:
    case Tamper::composed_differently_is_another_password:
        break;
    }
    copies.push_back(copy);
    return copies;
}

std::string password_for(Tamper tamper) {
    if (tamper == Tamper::wrong_password) {
        return "pass\xC3\xA9wore";
    }
    // Callers normalise; bytes that differ are a different password.
    if (tamper == Tamper::composed_differently_is_another_password) {
        return "passe\xCC\x81word";
    }
    return test_password;
}

struct DocumentVector {
    StrongHeader header;
    std::string password;
    Bytes key;
    Bytes plain;
    Bytes stored;
};

Bytes hex_bytes(const QString& hex) {
    const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
    return {bytes.begin(), bytes.end()};
}

// The vectors are the "name: value" lines of the document's vector blocks.
std::vector<DocumentVector> document_vectors() {
    QFile file(FORMAT_DOCUMENT);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    std::vector<DocumentVector> vectors;
    const QRegularExpression field(R"(^([a-z ]+): *(.*)$)");
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        const auto match = field.match(line);
        if (!match.hasMatch()) {
            continue;
        }
        const QString name = match.captured(1);
        const QString value = match.captured(2).trimmed();
        if (name == "vector") {
            vectors.emplace_back();
        }
        if (vectors.empty()) {
            continue;
        }
        auto& vector = vectors.back();
        const Bytes bytes = hex_bytes(value);
        if (name == "password") {
            vector.password = value.toStdString();
        } else if (name == "plain text") {
            const QByteArray text = value.toUtf8();
            vector.plain.assign(text.begin(), text.end());
        } else if (name == "key") {
            vector.key = bytes;
        } else if (name == "stored") {
            vector.stored.insert(vector.stored.end(), bytes.begin(), bytes.end());
        } else if (name == "salt") {
            std::copy(bytes.begin(), bytes.end(), vector.header.salt.begin());
        } else if (name == "nonce prefix") {
            std::copy(bytes.begin(), bytes.end(), vector.header.nonce_prefix.begin());
        } else if (name == "aead") {
            vector.header.aead =
                value == "AES-256-GCM" ? Aead::aes_256_gcm : Aead::chacha20_poly1305;
        } else if (name == "iterations") {
            vector.header.kdf.iterations = value.toUInt();
        } else if (name == "memory kib") {
            vector.header.kdf.memory_kib = value.toUInt();
        } else if (name == "chunk size") {
            vector.header.chunk_size = value.toUInt();
        }
    }
    return vectors;
}

} // namespace

Q_DECLARE_METATYPE(Tamper)

class StrongFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    fs::path path(const char* name) const { return fs::path(folder.filePath(name).toStdString()); }

private slots:
    void init() { QVERIFY(folder.isValid()); }
    void cleanup() {
        for (const auto& name : folder_listing(path(""))) {
            fs::remove_all(path(name.c_str()));
        }
    }

    void roundTrip_data() {
        QTest::addColumn<int>("chunk");
        QTest::addColumn<int>("length");
        QTest::addColumn<Aead>("aead");
        // 16 chunks of 16 bytes make one batch of the pipeline.
        for (const int length : {0, 1, 15, 16, 17, 16 * 16, 16 * 16 + 1, 16 * 16 * 9 + 5}) {
            for (const Aead aead : {Aead::aes_256_gcm, Aead::chacha20_poly1305}) {
                QTest::addRow("%d bytes in 16-byte chunks, aead %d", length, int(aead))
                    << 16 << length << aead;
            }
        }
        const int chunk = int(default_chunk_size);
        for (const int length : {chunk - 1, chunk, chunk + 1, 40 * chunk + 7}) {
            QTest::addRow("%d bytes in default chunks", length)
                << chunk << length << Aead::aes_256_gcm;
        }
    }
    void roundTrip() {
        QFETCH(int, chunk);
        QFETCH(int, length);
        QFETCH(Aead, aead);
        StrongHeader header = new_header(quick_kdf, std::uint32_t(chunk));
        header.aead = aead;
        const Bytes plain = random_bytes(std::size_t(length), 7);
        write_file(path("plain"), plain);
        EngineState state;
        std::vector<std::int64_t> positions;
        const auto result = encrypt_strong_file(state, local_file_system(), path("plain"),
                                                path("plain.fxs"), test_password, header,
                                                [&] { positions.push_back(state.file_position); });
        QVERIFY2(result.ok(), result.describe().c_str());
        QCOMPARE(state.source_length, length);
        QCOMPARE(positions.back(), length + 1);
        QVERIFY(std::is_sorted(positions.begin(), positions.end()));

        const Bytes stored = read_file(path("plain.fxs"));
        const std::size_t chunks =
            std::max<std::size_t>(1, (std::size_t(length) + chunk - 1) / chunk);
        QCOMPARE(stored.size(), header_size + std::size_t(length) + chunks * tag_size);
        const auto decrypted = strong_decrypted(path(""), stored);
        QVERIFY2(decrypted.result.ok(), decrypted.result.describe().c_str());
        QVERIFY(decrypted.plain == plain);
    }

    // Whatever was changed, nothing new appears and an older file of the plain name stays.
    void tamperedFilesAreRefused_data() {
        QTest::addColumn<Tamper>("tamper");
        QTest::addRow("every single-byte flip") << Tamper::flip_every_byte;
        QTest::addRow("cut at every chunk boundary") << Tamper::cut_at_every_chunk_boundary;
        QTest::addRow("last byte missing") << Tamper::drop_last_byte;
        QTest::addRow("first two chunks swapped") << Tamper::swap_first_chunks;
        QTest::addRow("middle chunk missing") << Tamper::drop_middle_chunk;
        QTest::addRow("last chunk twice") << Tamper::repeat_last_chunk;
        QTest::addRow("header names the other cipher") << Tamper::other_aead;
        QTest::addRow("header iterations") << Tamper::more_iterations;
        QTest::addRow("header memory") << Tamper::more_memory;
        QTest::addRow("header chunk size") << Tamper::longer_chunks;
        QTest::addRow("header salt") << Tamper::other_salt;
        QTest::addRow("header nonce prefix") << Tamper::other_nonce_prefix;
        QTest::addRow("wrong password") << Tamper::wrong_password;
        QTest::addRow("password not in composed form")
            << Tamper::composed_differently_is_another_password;
    }
    void tamperedFilesAreRefused() {
        QFETCH(Tamper, tamper);
        const Bytes plain = random_bytes(40, 3); // chunks of 16, 16 and 8 bytes
        const Bytes old_plain = random_bytes(5, 4);
        const Bytes stored = strong_encrypted(path(""), plain, new_header(quick_kdf, 16));
        QVERIFY(strong_decrypted(path(""), stored).result.ok());

        const auto copies = tampered(tamper, stored);
        for (std::size_t index = 0; index < copies.size(); ++index) {
            const auto decrypted =
                strong_decrypted(path(""), copies[index], password_for(tamper), old_plain);
            const QByteArray where = "copy " + QByteArray::number(qulonglong(index));
            QVERIFY2(decrypted.result.error == EngineError::wrong_password_or_damaged, where);
            QVERIFY2(decrypted.plain == old_plain, where);
            QVERIFY2((decrypted.listing == std::vector<std::string>{"secret", "secret.fxs"}),
                     where);
        }
    }

    // Another program must be able to read these files: the document's vectors are the proof.
    void documentVectors() {
        const auto vectors = document_vectors();
        QCOMPARE(vectors.size(), std::size_t(2));
        for (const auto& vector : vectors) {
            Key key{};
            QVERIFY(!derive_key(vector.password, vector.header.salt, vector.header.kdf, key));
            QCOMPARE(Bytes(key.begin(), key.end()), vector.key);
            QCOMPARE(strong_encrypted(path(""), vector.plain, vector.header, vector.password),
                     vector.stored);
            const auto decrypted = strong_decrypted(path(""), vector.stored, vector.password);
            QVERIFY(decrypted.plain == vector.plain);
        }
    }

    // A fault at any read, write, sync or rename: no file at the new name, the source as it
    // was, and no plain text left anywhere.
    void interruptionLeavesNothing_data() {
        QTest::addColumn<bool>("encrypting");
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<bool>("partial");
        for (const bool encrypting : {true, false}) {
            const char* direction = encrypting ? "encryption" : "decryption";
            QTest::addRow("%s, every read", direction) << encrypting << Operation::read << false;
            QTest::addRow("%s, every short read", direction)
                << encrypting << Operation::read << true;
            QTest::addRow("%s, every write", direction) << encrypting << Operation::write << false;
            QTest::addRow("%s, every half write", direction)
                << encrypting << Operation::write << true;
            QTest::addRow("%s, sync", direction) << encrypting << Operation::sync << false;
            QTest::addRow("%s, rename", direction) << encrypting << Operation::rename << false;
        }
    }
    void interruptionLeavesNothing() {
        QFETCH(bool, encrypting);
        QFETCH(Operation, operation);
        QFETCH(bool, partial);
        const Bytes plain = random_bytes(1000, 5);
        const Bytes source_bytes =
            encrypting ? plain : strong_encrypted(path(""), plain, new_header(quick_kdf, 16));
        const auto source = path(encrypting ? "data" : "data.fxs");
        const auto destination = path(encrypting ? "data.fxs" : "data");
        write_file(source, source_bytes);
        const auto run = [&](FileSystem& file_system) {
            EngineState state;
            return encrypting ? encrypt_strong_file(state, file_system, source, destination,
                                                    test_password, new_header(quick_kdf, 16), [] {})
                              : decrypt_strong_file(state, file_system, source, destination,
                                                    test_password, [] {});
        };

        FaultyFileSystem faults;
        faults.fail(operation, 0);
        QVERIFY(run(faults).ok());
        const int calls = faults.calls(operation);
        QVERIFY(calls > 0);
        fs::remove(destination);
        for (int nth = 1; nth <= calls; ++nth) {
            faults.fail(operation, nth, partial);
            const auto result = run(faults);
            QVERIFY(faults.fault_fired());
            QVERIFY2(!result.ok(), qPrintable(QString("fault at call %1").arg(nth)));
            QCOMPARE(folder_listing(path("")),
                     std::vector<std::string>{source.filename().string()});
            QVERIFY(read_file(source) == source_bytes);
        }
    }
};

QTEST_APPLESS_MAIN(StrongFileTest)
#include "tst_strong_file.moc"
