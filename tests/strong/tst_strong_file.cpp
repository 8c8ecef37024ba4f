#include "file_system/engine_error.h"
#include "strong/chunk_workers.h"
#include "strong/header_check.h"
#include "strong/key_derivation.h"
#include "strong/strong_error.h"
#include "tests/strong/strong_test_files.h"
#include "tests/support/faulty_file_system.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <functional>
#include <stdexcept>
#include <thread>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(ferrocase::Aead)
Q_DECLARE_METATYPE(ferrocase::testing::Operation)

namespace {

using Copies = std::vector<Bytes>;

// Offsets into a 40-byte file in 16-byte chunks: chunk i starts 32 * i after the header.
Bytes::iterator chunk(Bytes& bytes, std::size_t index) {
    return bytes.begin() + std::ptrdiff_t(stored_header_size(bytes[4]) + index * (16 + tag_size));
}

Copies changed_byte(const Bytes& stored, std::size_t at, std::uint8_t mask) {
    Bytes copy = stored;
    copy[at] ^= mask;
    return {copy};
}

// Each kind of tampering gives one or more changed copies of a stored file, and the password
// to try them with.
struct Tampering {
    const char* name;
    std::function<Copies(const Bytes&)> copies;
    std::string password = test_password;
};

const std::vector<Tampering>& tamperings() {
    static const std::vector<Tampering> all{
        {"every single-byte flip",
         [](const Bytes& stored) {
             Copies copies;
             for (std::size_t at = 0; at < stored.size(); ++at) {
                 copies.push_back(changed_byte(stored, at, 0x01)[0]);
             }
             return copies;
         }},
        {"cut at every chunk boundary and inside the header",
         [](const Bytes& stored) {
             Copies copies{Bytes(stored.begin(), stored.begin() + 3),
                           Bytes(stored.begin(), stored.end() - 1)};
             for (std::size_t index = 0; index < 3; ++index) {
                 Bytes copy = stored;
                 copies.emplace_back(copy.begin(), chunk(copy, index));
             }
             return copies;
         }},
        {"first two chunks swapped",
         [](Bytes copy) {
             std::swap_ranges(chunk(copy, 0), chunk(copy, 1), chunk(copy, 1));
             return Copies{copy};
         }},
        {"middle chunk missing",
         [](Bytes copy) {
             copy.erase(chunk(copy, 1), chunk(copy, 2));
             return Copies{copy};
         }},
        {"last chunk twice",
         [](Bytes copy) {
             const Bytes last(chunk(copy, 2), copy.end());
             copy.insert(copy.end(), last.begin(), last.end());
             return Copies{copy};
         }},
        {"header names the other cipher",
         [](const Bytes& stored) { return changed_byte(stored, 5, 3); }},
        {"header iterations", [](const Bytes& stored) { return changed_byte(stored, 8, 2); }},
        {"header memory", [](const Bytes& stored) { return changed_byte(stored, 12, 16); }},
        {"header chunk size", [](const Bytes& stored) { return changed_byte(stored, 16, 32); }},
        {"header salt", [](const Bytes& stored) { return changed_byte(stored, 35, 0x80); }},
        {"header nonce prefix", [](const Bytes& stored) { return changed_byte(stored, 36, 0x80); }},
        {"version 1 and 2 swapped", [](const Bytes& stored) { return changed_byte(stored, 4, 3); }},
        {"version 2's header check",
         [](const Bytes& stored) { return changed_byte(stored, 60, 4); }},
        {"wrong password", [](const Bytes& stored) { return Copies{stored}; }, "pass\xC3\xA9wore"},
        // Callers normalise; other bytes are another password.
        {"password not in composed form", [](const Bytes& stored) { return Copies{stored}; },
         "passe\xCC\x81word"},
    };
    return all;
}

struct DocumentVector {
    StrongHeader header;
    std::string password;
    Bytes key, chunk_key, check_key, header_check, plain, stored;
};

// The vectors are the "name: value" lines of the document's text blocks.
std::vector<DocumentVector> document_vectors() {
    QFile file(FORMAT_DOCUMENT);
    std::vector<DocumentVector> vectors;
    if (!file.open(QIODevice::ReadOnly)) {
        return vectors;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        const auto colon = line.indexOf(':');
        const QByteArray name = line.left(colon);
        const QByteArray value = line.mid(colon + 1).trimmed();
        const QByteArray hex = QByteArray::fromHex(value);
        const Bytes bytes(hex.begin(), hex.end());
        if (name == "vector") {
            vectors.emplace_back();
        } else if (vectors.empty() || colon < 0) {
            continue;
        }
        auto& vector = vectors.back();
        auto& header = vector.header;
        if (name == "version") {
            header.version = std::uint8_t(value.toUInt());
        } else if (name == "aead") {
            header.aead = value == "AES-256-GCM" ? Aead::aes_256_gcm : Aead::chacha20_poly1305;
        } else if (name == "iterations") {
            header.kdf.iterations = value.toUInt();
        } else if (name == "memory kib") {
            header.kdf.memory_kib = value.toUInt();
        } else if (name == "chunk size") {
            header.chunk_size = value.toUInt();
        } else if (name == "salt") {
            std::copy_n(bytes.begin(), salt_size, header.salt.begin());
        } else if (name == "nonce prefix") {
            std::copy_n(bytes.begin(), nonce_prefix_size, header.nonce_prefix.begin());
        } else if (name == "password") {
            vector.password = value.toStdString();
        } else if (name == "key") {
            vector.key = bytes;
        } else if (name == "chunk key") {
            vector.chunk_key = bytes;
        } else if (name == "check key") {
            vector.check_key = bytes;
        } else if (name == "header check") {
            vector.header_check = bytes;
        } else if (name == "plain text") {
            vector.plain.assign(value.begin(), value.end());
        } else if (name == "stored") {
            vector.stored.insert(vector.stored.end(), bytes.begin(), bytes.end());
        }
    }
    return vectors;
}

} // namespace

class StrongFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    fs::path path(const char* name) const { return fs::path(folder.filePath(name).toStdString()); }

private slots:
    void init() { QVERIFY(folder.isValid()); }
    void cleanup() { empty_folder(path("")); }

    void roundTrip_data() {
        QTest::addColumn<int>("chunk");
        QTest::addColumn<int>("length");
        QTest::addColumn<Aead>("aead");
        // 16 chunks of 16 bytes make one batch; longer files are shared by two threads.
        for (const int length : {0, 1, 15, 16, 17, 16 * 16, 16 * 16 + 1, 16 * 16 * 9 + 5}) {
            for (const Aead aead : {Aead::aes_256_gcm, Aead::chacha20_poly1305}) {
                QTest::addRow("%d bytes in 16-byte chunks, aead %d", length, int(aead))
                    << 16 << length << aead;
            }
        }
        const int size = int(default_chunk_size);
        for (const int length : {size - 1, size, size + 1, 40 * size + 7}) {
            QTest::addRow("%d bytes in default chunks", length)
                << size << length << Aead::aes_256_gcm;
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
        const std::size_t chunks = std::max(1, (length + chunk - 1) / chunk);
        QCOMPARE(stored.size(),
                 stored_header_size(current_version) + std::size_t(length) + chunks * tag_size);
        const auto decrypted = strong_decrypted(path(""), stored);
        QVERIFY2(decrypted.result.ok(), decrypted.result.describe().c_str());
        QVERIFY(decrypted.plain == plain);
    }

    // Whatever was changed, nothing new appears and an older file of the plain name stays.
    void tamperedFilesAreRefused_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("version");
        for (const int version : {1, 2}) {
            for (std::size_t index = 0; index < tamperings().size(); ++index) {
                QTest::addRow("version %d, %s", version, tamperings()[index].name)
                    << int(index) << version;
            }
        }
    }
    void tamperedFilesAreRefused() {
        QFETCH(int, index);
        QFETCH(int, version);
        const Tampering& tampering = tamperings()[std::size_t(index)];
        const Bytes plain = random_bytes(40, 3); // chunks of 16, 16 and 8 bytes
        const Bytes old_plain = random_bytes(5, 4);
        StrongHeader header = new_header(quick_kdf, 16);
        header.version = std::uint8_t(version);
        const Bytes stored = strong_encrypted(path(""), plain, header);
        QVERIFY(strong_decrypted(path(""), stored).result.ok());

        const Copies copies = tampering.copies(stored);
        for (std::size_t copy = 0; copy < copies.size(); ++copy) {
            const auto decrypted =
                strong_decrypted(path(""), copies[copy], tampering.password, old_plain);
            const QByteArray where = "copy " + QByteArray::number(qulonglong(copy));
            QVERIFY2(decrypted.result.failed_step == FileStep::read, where);
            QVERIFY2(decrypted.plain == old_plain, where);
            QVERIFY2((decrypted.listing == std::vector<std::string>{"secret", "secret.fxs"}),
                     where);
        }
    }

    // Each refusal says what happened, and leaves nothing behind.
    void refusalsSayWhatHappened_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("at");     // a 32-bit field to set, or a byte to flip (-1: none)
        QTest::addColumn<uint>("value"); // the field's new value; 0 flips the byte
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<QString>("message");
        const QByteArray right = QByteArray::fromStdString(test_password);
        QTest::newRow("a plain file") << 2 << 0 << 0u << right << "not a Ferrocase strong file";
        QTest::newRow("version 3")
            << 2 << 4 << 3u << right << "made by a newer version of Ferrocase";
        QTest::newRow("17 iterations")
            << 2 << 8 << 17u << right
            << "its password hash asks for more than 16 iterations, this program's limit";
        QTest::newRow("1 GiB and 1 KiB")
            << 1 << 12 << (1u << 20) + 1 << right
            << "its password hash asks for more than 1 GiB of memory, this program's limit";
        QTest::newRow("chunks of 1 MiB and 1 byte")
            << 2 << 16 << (1u << 20) + 1 << right
            << "its chunks are larger than 1 MiB, this program's limit";
        QTest::newRow("wrong password") << 2 << -1 << 0u << QByteArray("other") << "wrong password";
        QTest::newRow("second chunk flipped")
            << 2 << 75 + 32 + 3 << 0u << right << "the file is damaged at byte 107";
        QTest::newRow("version 1, wrong password")
            << 1 << -1 << 0u << QByteArray("other") << "wrong password, or the file is damaged";
    }
    void refusalsSayWhatHappened() {
        QFETCH(int, version);
        QFETCH(int, at);
        QFETCH(uint, value);
        QFETCH(QByteArray, password);
        QFETCH(QString, message);
        StrongHeader header = new_header(quick_kdf, 16);
        header.version = std::uint8_t(version);
        Bytes stored = strong_encrypted(path(""), random_bytes(40, 3), header);
        if (at >= 0 && value == 0) {
            stored[std::size_t(at)] ^= 0x10;
        } else if (at == 4) {
            stored[4] = std::uint8_t(value);
        } else if (at >= 0) {
            for (std::size_t index = 0; index < 4; ++index) {
                stored[std::size_t(at) + index] = std::uint8_t(value >> (8 * index));
            }
        }
        const auto decrypted = strong_decrypted(path(""), stored, password.toStdString());
        const std::string described = decrypted.result.describe();
        QVERIFY2(described.ends_with(": " + message.toStdString()), described.c_str());
        QCOMPARE(decrypted.listing, std::vector<std::string>{"secret.fxs"});
    }

    // Another program must be able to read these files: the document's vectors are the proof.
    void documentVectors() {
        const auto vectors = document_vectors();
        QCOMPARE(vectors.size(), std::size_t(4));
        for (const auto& vector : vectors) {
            Key key{};
            QVERIFY(!derive_key(vector.password, vector.header.salt, vector.header.kdf, key));
            QCOMPARE(Bytes(key.begin(), key.end()), vector.key);
            if (vector.header.version == 2) {
                const FileKeys keys(key);
                const auto check = header_check(keys, encode_header(vector.header));
                QCOMPARE(Bytes(keys.chunk.begin(), keys.chunk.end()), vector.chunk_key);
                QCOMPARE(Bytes(keys.check.begin(), keys.check.end()), vector.check_key);
                QCOMPARE(Bytes(check.begin(), check.end()), vector.header_check);
            }
            QCOMPARE(strong_encrypted(path(""), vector.plain, vector.header, vector.password),
                     vector.stored);
            QVERIFY(strong_decrypted(path(""), vector.stored, vector.password).plain ==
                    vector.plain);
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

    // A file system that stops a run by throwing (as a crash simulator may) stops it in the
    // caller's thread, whichever worker it stopped.
    void exceptionsFromEitherWorkerReachTheCaller_data() {
        QTest::addColumn<int>("thrower");
        QTest::newRow("the first") << 0;
        QTest::newRow("the second") << 1;
    }

    void exceptionsFromEitherWorkerReachTheCaller() {
        QFETCH(int, thrower);
        std::atomic<bool> thrown{false};
        ChunkWorkers workers(100, 8, 8);
        const auto work = [&](Batch& batch) -> FileResult {
            if (batch.worker == thrower) {
                thrown = true;
                throw std::runtime_error("crash");
            }
            while (!thrown) {
                std::this_thread::yield();
            }
            return {};
        };
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, workers.run(work, {}));
    }
};

QTEST_APPLESS_MAIN(StrongFileTest)
#include "tst_strong_file.moc"
