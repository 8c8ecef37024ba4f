#include "strong/strong_error.h"
#include "tests/strong/strong_test_files.h"

#include <QTemporaryDir>
#include <QTest>

using namespace ferrocase;
using namespace ferrocase::testing;

Q_DECLARE_METATYPE(ferrocase::Existing)

// A strong file never silently takes the place of a file the user may still need.
class StrongOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void aDifferentFileIsKeptUnlessReplacing_data() {
        QTest::addColumn<bool>("encrypting");
        QTest::addColumn<bool>("sameBytes"); // the file at the name holds the result already
        QTest::addColumn<Existing>("existing");
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<bool>("meanwhile"); // the file takes the name while the run is under way
        QTest::newRow("encryption keeps an older .fxs")
            << true << false << Existing::keep << false << false;
        QTest::newRow("encryption keeps an .fxs made meanwhile")
            << true << false << Existing::keep << false << true;
        QTest::newRow("encryption told to replace")
            << true << false << Existing::replace << true << false;
        QTest::newRow("decryption keeps an edited file")
            << false << false << Existing::keep << false << false;
        QTest::newRow("decryption over the same bytes")
            << false << true << Existing::keep << true << false;
        QTest::newRow("decryption told to replace")
            << false << false << Existing::replace << true << false;
    }
    void aDifferentFileIsKeptUnlessReplacing() {
        QFETCH(bool, encrypting);
        QFETCH(bool, sameBytes);
        QFETCH(Existing, existing);
        QFETCH(bool, replaced);
        QFETCH(bool, meanwhile);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const std::filesystem::path plain_file = folder.filePath("notes").toStdString();
        const std::filesystem::path strong_file = strong_encrypted_name(plain_file);
        const Bytes plain = random_bytes(100'000, 1);
        const Bytes stored =
            strong_encrypted(folder.path().toStdString(), plain, new_header(quick_kdf, 4096));
        const Bytes other = sameBytes ? plain : random_bytes(100'000, 2);
        write_file(plain_file, encrypting ? plain : other);
        write_file(strong_file, encrypting ? other : stored);
        if (meanwhile) {
            std::filesystem::remove(strong_file);
        }
        const auto arrive = [&] {
            if (meanwhile && !std::filesystem::exists(strong_file)) {
                write_file(strong_file, other);
            }
        };

        EngineState state;
        const auto result =
            encrypting ? encrypt_strong_file(state, local_file_system(), plain_file, strong_file,
                                             test_password, new_header(quick_kdf), arrive,
                                             {.existing = existing})
                       : decrypt_strong_file(state, local_file_system(), strong_file, plain_file,
                                             test_password, [] {}, {.existing = existing});
        const auto destination = encrypting ? strong_file : plain_file;
        QCOMPARE(result.ok(), replaced);
        QCOMPARE(read_file(destination) != other, replaced && !sameBytes);
        if (!replaced) {
            QCOMPARE(result.error, make_error_code(StrongError::would_replace));
            QCOMPARE(result.path, destination);
        }
        QCOMPARE(folder_listing(folder.path().toStdString()),
                 (std::vector<std::string>{"notes", "notes.fxs"}));
    }

    // A stop already asked for drops the file, in the hash or at the first chunk, whichever it
    // reaches first.
    void aStopDropsTheFileInHand_data() {
        QTest::addColumn<bool>("encrypting");
        QTest::newRow("encryption") << true;
        QTest::newRow("decryption") << false;
    }
    void aStopDropsTheFileInHand() {
        QFETCH(bool, encrypting);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const std::filesystem::path plain_file = folder.filePath("notes").toStdString();
        const std::filesystem::path strong_file = strong_encrypted_name(plain_file);
        const Bytes plain = random_bytes(100'000, 1);
        const auto source = encrypting ? plain_file : strong_file;
        write_file(source, encrypting ? plain
                                      : strong_encrypted(folder.path().toStdString(), plain,
                                                         new_header(quick_kdf, 4096)));
        const std::atomic<bool> stop{true};
        EngineState state;
        const auto result =
            encrypting
                ? encrypt_strong_file(state, local_file_system(), plain_file, strong_file,
                                      test_password, new_header(quick_kdf), [] {}, {.stop = &stop})
                : decrypt_strong_file(state, local_file_system(), strong_file, plain_file,
                                      test_password, [] {}, {.stop = &stop});
        QCOMPARE(result.failed_step, FileStep::interrupted);
        QCOMPARE(folder_listing(folder.path().toStdString()),
                 std::vector<std::string>{source.filename().string()});
    }
};

QTEST_APPLESS_MAIN(StrongOptionsTest)
#include "tst_strong_options.moc"
