#include "durable_run/durable_run.h"
#include "file_system/engine_error.h"
#include "file_system/file_result.h"
#include "file_system/temporary_name.h"
#include "fxe/transform_state.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_helpers.h"
#include "tests/support/stored_format.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(ferrocase::testing::Operation)
Q_DECLARE_METATYPE(ferrocase::FileStep)

namespace {

const std::string password = "pass\xE9word";

EngineState engine_state(int step) {
    EngineState state;
    state.password = password;
    state.skip_step = static_cast<std::int16_t>(step);
    return state;
}

// Windows of the smallest size, so that a file of 700001 bytes takes three.
constexpr std::int64_t small_window = 320000;
constexpr int three_windows = 700001;

struct YieldLog {
    std::vector<std::int64_t> positions;
    Yield recorder(const EngineState& state) {
        return [this, &state] { positions.push_back(state.file_position); };
    }
};

} // namespace

class FileTransformTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    fs::path path(const char* name) const { return fs::path(folder.filePath(name).toStdString()); }

    FileResult encrypt_in_windows(EngineState& state, FileSystem& files, const fs::path& file) {
        DurableRun run(files, path("state"), {.window_bytes = small_window});
        run.encrypt(state, file, 0, [] {});
        run.flush();
        const FileResult result = run.take_outcomes().at(0).result;
        run.complete();
        return result;
    }

    FileResult decrypt_in_windows(EngineState& state, FileSystem& files, const fs::path& source,
                                  const fs::path& destination) {
        DurableRun run(files, path("state"), {.window_bytes = small_window});
        run.decrypt(state, source, destination, 0, [] {});
        run.flush();
        const FileResult result = run.take_outcomes().at(0).result;
        run.complete();
        return result;
    }

private slots:
    void init() { QVERIFY(folder.isValid()); }
    void cleanup() { empty_folder(path("")); }

    void roundTrip_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("step");
        for (int length : {0, 1, 9999, 10000, 10001, 25000, 123457}) {
            for (int step : {1, 2, 5}) {
                QTest::addRow("%d bytes, step %d", length, step) << length << step;
            }
        }
    }

    // Encryption gives the format's bytes in place; a copy named .fxe decrypts to the plain file.
    void roundTrip() {
        QFETCH(int, length);
        QFETCH(int, step);
        const Bytes plain = random_bytes(static_cast<std::size_t>(length), 1);
        const fs::path file = path("report.txt");
        write_file(file, plain);

        EngineState state = engine_state(step);
        YieldLog encryption;
        QVERIFY(encrypt_file(state, local_file_system(), file, encryption.recorder(state)).ok());
        QCOMPARE(read_file(file), protect(plain, password, step));
        QCOMPARE(state.source_length, length);
        QCOMPARE(state.file_position, 1 + (length / 10000) * 10000);

        fs::copy_file(file, path("copy.txt.fxe"));
        YieldLog decryption;
        const FileResult result = decrypt_file(state, local_file_system(), path("copy.txt.fxe"),
                                               path("copy.txt"), decryption.recorder(state));
        QVERIFY2(result.ok(), result.describe().c_str());
        QCOMPARE(read_file(path("copy.txt")), plain);
        QCOMPARE(folder_listing(path("")),
                 (std::vector<std::string>{"copy.txt", "copy.txt.fxe", "report.txt"}));

        // Before and after writing every full block when encrypting; after every full block
        // and after the tail when decrypting.
        std::vector<std::int64_t> expectedEncryption;
        std::vector<std::int64_t> expectedDecryption;
        for (std::int64_t block = 1; block <= length / 10000; ++block) {
            expectedEncryption.push_back(1 + (block - 1) * 10000);
            expectedEncryption.push_back(1 + block * 10000);
            expectedDecryption.push_back(1 + block * 10000);
        }
        expectedDecryption.push_back(1 + (length / 10000) * 10000);
        QCOMPARE(encryption.positions, expectedEncryption);
        QCOMPARE(decryption.positions, expectedDecryption);
    }

    // Small files wait in memory for one flush of the record, but only so many bytes of them.
    void smallFilesAreWrittenOnceTheirBytesReachTheLimit() {
        EngineState state = engine_state(1);
        DurableRun run(local_file_system(), path("state"),
                       {.held_bytes = 150'000, .pending_time = std::chrono::hours(1)});
        std::vector<std::size_t> told;
        for (const char* name : {"a", "b", "c"}) {
            const Bytes plain = random_bytes(100'000, 3);
            write_file(path(name), plain);
            run.encrypt(state, path(name), 0, [] {});
            told.push_back(run.take_outcomes().size());
            if (told.size() == 2) {
                QCOMPARE(read_file(path("b")), protect(plain, password, 1));
            }
        }
        QCOMPARE(told, (std::vector<std::size_t>{0, 2, 0}));
        run.complete();
    }

    void thirtyThousandBytesYieldSixTimesThenFour() {
        write_file(path("a"), random_bytes(30000, 2));
        EngineState state = engine_state(1);
        YieldLog encryption;
        QVERIFY(
            encrypt_file(state, local_file_system(), path("a"), encryption.recorder(state)).ok());
        QCOMPARE(encryption.positions,
                 (std::vector<std::int64_t>{1, 10001, 10001, 20001, 20001, 30001}));
        YieldLog decryption;
        QVERIFY(decrypt_file(state, local_file_system(), path("a"), path("b"),
                             decryption.recorder(state))
                    .ok());
        QCOMPARE(decryption.positions, (std::vector<std::int64_t>{10001, 20001, 30001, 30001}));
    }

    void decryptionReplacesAnExistingDestination() {
        const Bytes plain = random_bytes(20000, 3);
        write_file(path("r.fxe"), protect(plain, password, 1));
        write_file(path("r"), random_bytes(50000, 4));
        EngineState state = engine_state(1);
        QVERIFY(decrypt_file(state, local_file_system(), path("r.fxe"), path("r"), [] {}).ok());
        QCOMPARE(read_file(path("r")), plain);
        QCOMPARE(folder_listing(path("")), (std::vector<std::string>{"r", "r.fxe"}));
    }

    void wrongPasswordGivesOtherBytesOfTheSameLength() {
        const Bytes plain = random_bytes(12345, 5);
        write_file(path("w.fxe"), protect(plain, password, 1));
        EngineState state = engine_state(1);
        state.password = "other";
        QVERIFY(decrypt_file(state, local_file_system(), path("w.fxe"), path("w"), [] {}).ok());
        const Bytes decrypted = read_file(path("w"));
        QCOMPARE(decrypted.size(), plain.size());
        QVERIFY(decrypted != plain);
    }

    void unusableSourcesFailAndCreateNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::addRow("missing") << "missing";
        QTest::addRow("a folder") << "folder";
        QTest::addRow("a named pipe") << "fifo";
    }

    void unusableSourcesFailAndCreateNothing() {
        QFETCH(QString, kind);
        const fs::path source = path("source.fxe");
        if (kind == "folder") {
            fs::create_directory(source);
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(source.c_str(), 0600), 0);
        }
        const auto before = folder_listing(path(""));
        EngineState state = engine_state(1);

        const FileResult encrypted = encrypt_file(state, local_file_system(), source, [] {});
        QCOMPARE(encrypted.failed_step, FileStep::open_source);
        QCOMPARE(encrypted.path, source);
        const FileResult decrypted =
            decrypt_file(state, local_file_system(), source, path("source"), [] {});
        QCOMPARE(decrypted.failed_step, FileStep::open_source);
        QVERIFY(!decrypted.describe().empty());
        QCOMPARE(folder_listing(path("")), before);
        if (kind == "missing") {
            QVERIFY(decrypted.error == std::errc::no_such_file_or_directory);
        }
    }

    void nameWithNothingLeftHasNoDestination_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addRow("ordinary") << "/data/report.txt.fxe"
                                  << "/data/report.txt";
        QTest::addRow("upper case extension") << "/data/A.FXE"
                                              << "/data/A";
        QTest::addRow("exactly .fxe") << "/data/.fxe"
                                      << "";
        QTest::addRow("relative") << "x.fxe"
                                  << "x";
    }

    void nameWithNothingLeftHasNoDestination() {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        const auto name = decrypted_name(source.toStdString());
        QCOMPARE(name ? QString::fromStdString(name->string()) : QString(), destination);
    }

    void destinationThatIsAFolderLeavesEverything() {
        const Bytes cipher = random_bytes(15000, 6);
        write_file(path("d.fxe"), cipher);
        fs::create_directory(path("d"));
        write_file(path("d") / "inside", {1, 2, 3});
        EngineState state = engine_state(1);
        const FileResult result =
            decrypt_file(state, local_file_system(), path("d.fxe"), path("d"), [] {});
        QCOMPARE(result.failed_step, FileStep::replace_destination);
        QCOMPARE(read_file(path("d.fxe")), cipher);
        QCOMPARE(read_file(path("d") / "inside"), (Bytes{1, 2, 3}));
        QCOMPARE(folder_listing(path("")), (std::vector<std::string>{"d", "d.fxe"}));
    }

    void encryptionFaultLeavesTheFileAsItWas_data() {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<int>("nth");
        QTest::addColumn<bool>("partial");
        QTest::addColumn<FileStep>("step");
        QTest::addRow("first read") << Operation::read << 1 << false << FileStep::read;
        QTest::addRow("a later read") << Operation::read << 3 << false << FileStep::read;
        QTest::addRow("file shrinks while read") << Operation::read << 2 << true << FileStep::read;
        QTest::addRow("first write") << Operation::write << 1 << false << FileStep::write;
        QTest::addRow("half of a later write") << Operation::write << 2 << true << FileStep::write;
        QTest::addRow("write of the tail") << Operation::write << 3 << false << FileStep::write;
    }

    void encryptionFaultLeavesTheFileAsItWas() {
        QFETCH(Operation, operation);
        QFETCH(int, nth);
        QFETCH(bool, partial);
        QFETCH(FileStep, step);
        const Bytes plain = random_bytes(three_windows, 7);
        write_file(path("plain.bin"), plain);
        FaultyFileSystem faulty;
        faulty.fail(operation, nth, partial);
        EngineState state = engine_state(2);

        const FileResult result = encrypt_in_windows(state, faulty, path("plain.bin"));

        QVERIFY(faulty.fault_fired());
        QCOMPARE(result.failed_step, step);
        QCOMPARE(result.path, path("plain.bin"));
        QVERIFY(!result.partly_transformed);
        QVERIFY(!result.describe().empty());
        QCOMPARE(read_file(path("plain.bin")), plain);
    }

    // The first window reached the file and cannot be put back; the record lets a rerun finish.
    void encryptionThatCannotBeUndoneIsFinishedByARerun() {
        const Bytes plain = random_bytes(three_windows, 10);
        write_file(path("lost.bin"), plain);
        FaultyFileSystem faulty;
        faulty.fail_from(Operation::write, 2);
        EngineState state = engine_state(1);

        const FileResult result = encrypt_in_windows(state, faulty, path("lost.bin"));

        QCOMPARE(result.failed_step, FileStep::write);
        QVERIFY(result.partly_transformed);
        QVERIFY(result.describe().find("partly encrypted") != std::string::npos);
        Bytes expected = protect(plain, password, 1);
        std::copy(plain.begin() + small_window, plain.end(), expected.begin() + small_window);
        QCOMPARE(read_file(path("lost.bin")), expected);

        const FileResult rerun = encrypt_in_windows(state, local_file_system(), path("lost.bin"));
        QVERIFY(rerun.ok());
        QVERIFY(rerun.finished_interrupted);
        QCOMPARE(read_file(path("lost.bin")), protect(plain, password, 1));
        QCOMPARE(folder_listing(path("state")), std::vector<std::string>{});
    }

    // A sparse file on a full disk: encrypting its holes needs space there is none of. Putting it
    // back writes only the sectors that changed, which have their space already.
    void sparseFileOnAFullDiskIsPutBackWhole() {
        const fs::path disk = path("small-disk");
        fs::create_directory(disk);
        if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0) {
            QSKIP("mounting a small file system needs the right to mount");
        }
        const fs::path sparse = disk / "sparse.bin";
        Bytes plain = random_bytes(8192, 16);
        write_file(sparse, plain);
        fs::resize_file(sparse, 4 << 20);
        plain.resize(4 << 20);
        write_file(disk / "filler", Bytes(160 << 10, 1));
        EngineState state = engine_state(1);

        const FileResult result = encrypt_in_windows(state, local_file_system(), sparse);
        const Bytes after = read_file(sparse);
        ::umount(disk.c_str());

        QCOMPARE(result.failed_step, FileStep::write);
        QVERIFY(result.error == std::errc::no_space_on_device);
        QVERIFY(!result.partly_transformed);
        QVERIFY(after == plain);
    }

    // Also: run by root for a user, the new file is the user's.
    void decryptedFileIsNoMoreReadableThanItsSource_data() {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("existing"); // 0: no file of the destination's name
        QTest::addColumn<int>("decrypted");
        QTest::addRow("private stays private") << 0600 << 0 << 0600;
        QTest::addRow("readable by the group") << 0640 << 0 << 0640;
        QTest::addRow("no execute bits, umask applies") << 0777 << 0 << 0644;
        QTest::addRow("replacing a private file") << 0644 << 0600 << 0600;
    }

    void decryptedFileIsNoMoreReadableThanItsSource() {
        QFETCH(int, source);
        QFETCH(int, existing);
        QFETCH(int, decrypted);
        const mode_t saved = ::umask(022);
        write_file(path("m.fxe"), random_bytes(10, 11));
        QCOMPARE(::chmod(path("m.fxe").c_str(), static_cast<mode_t>(source)), 0);
        const bool as_root = ::geteuid() == 0;
        if (as_root) {
            QCOMPARE(::chown(path("m.fxe").c_str(), 4321, 4321), 0);
        }
        if (existing != 0) {
            write_file(path("m"), random_bytes(10, 12));
            QCOMPARE(::chmod(path("m").c_str(), static_cast<mode_t>(existing)), 0);
        }
        EngineState state = engine_state(1);
        const FileResult result =
            decrypt_file(state, local_file_system(), path("m.fxe"), path("m"), [] {});
        ::umask(saved);
        QVERIFY(result.ok());
        struct stat status {};
        QCOMPARE(::stat(path("m").c_str(), &status), 0);
        QCOMPARE(static_cast<int>(status.st_mode & 07777), decrypted);
        QCOMPARE(status.st_uid, as_root ? 4321U : ::geteuid());
    }

    // A 255-byte name is the limit; the replacing file's temporary name, when it needs one, must
    // fit beside it, and a leftover of an interrupted run goes.
    void decryptionAtTheNameLengthLimit_data() {
        QTest::addColumn<bool>("existing");
        QTest::addColumn<bool>("leftover");
        QTest::addRow("new name") << false << false;
        QTest::addRow("replacing a file") << true << false;
        QTest::addRow("leftover of an interrupted run") << true << true;
    }

    void decryptionAtTheNameLengthLimit() {
        QFETCH(bool, existing);
        QFETCH(bool, leftover);
        const fs::path destination = path("") / std::string(251, 'n');
        const fs::path source = destination.string() + ".fxe";
        const Bytes plain = random_bytes(12345, 14);
        write_file(source, protect(plain, password, 1));
        if (existing) {
            write_file(destination, random_bytes(10, 15));
        }
        if (leftover) {
            write_file(path("") / temporary_name(destination), plain);
        }
        EngineState state = engine_state(1);
        QVERIFY(decrypt_file(state, local_file_system(), source, destination, [] {}).ok());
        QCOMPARE(read_file(destination), plain);
        QCOMPARE(folder_listing(path("")).size(), std::size_t{2});
    }

    void decryptionFaultLeavesSourceAndDestination_data() {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<int>("nth");
        QTest::addColumn<bool>("partial");
        QTest::addColumn<FileStep>("step");
        QTest::addRow("first read") << Operation::read << 1 << false << FileStep::read;
        QTest::addRow("source shrinks") << Operation::read << 3 << true << FileStep::read;
        QTest::addRow("first write") << Operation::write << 1 << false << FileStep::write;
        QTest::addRow("half of a later write") << Operation::write << 3 << true << FileStep::write;
        QTest::addRow("sync") << Operation::sync << 1 << false << FileStep::sync;
        QTest::addRow("rename over the destination")
            << Operation::rename << 1 << false << FileStep::replace_destination;
    }

    void decryptionFaultLeavesSourceAndDestination() {
        QFETCH(Operation, operation);
        QFETCH(int, nth);
        QFETCH(bool, partial);
        QFETCH(FileStep, step);
        const Bytes cipher = random_bytes(three_windows, 8);
        const Bytes existing = random_bytes(999, 9);
        write_file(path("doc.fxe"), cipher);
        write_file(path("doc"), existing);
        FaultyFileSystem faulty;
        faulty.fail(operation, nth, partial);
        EngineState state = engine_state(3);

        const FileResult result = decrypt_in_windows(state, faulty, path("doc.fxe"), path("doc"));

        QVERIFY(faulty.fault_fired());
        QCOMPARE(result.failed_step, step);
        QVERIFY(!result.describe().empty());
        QCOMPARE(read_file(path("doc.fxe")), cipher);
        QCOMPARE(read_file(path("doc")), existing);
        QCOMPARE(folder_listing(path("")), (std::vector<std::string>{"doc", "doc.fxe"}));
    }
};

QTEST_APPLESS_MAIN(FileTransformTest)
#include "tst_file_transform.moc"
