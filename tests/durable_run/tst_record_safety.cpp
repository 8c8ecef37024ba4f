#include "durable_run/durable_run.h"
#include "file_system/engine_error.h"
#include "strong/strong_file.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_helpers.h"
#include "tests/support/stored_format.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/wait.h>
#include <unistd.h>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

namespace {

const std::string password = "pass\xE9word";
constexpr std::int64_t small_window = 320000;

EngineState engine_state(const std::string& key = password) {
    EngineState state;
    state.password = key;
    state.skip_step = 1;
    return state;
}

// What the run makes of a file another format would write; that format writes nothing.
FileResult other_format(DurableRun& run, const fs::path& source, const fs::path& destination,
                        int tag) {
    run.write_new_file(source, destination, tag, [](auto&) { return FileResult{}; });
    return run.take_outcomes().at(0).result;
}

} // namespace

// What an interrupted encryption's record protects the file from: being taken for another file,
// or given to another operation, a record that was damaged since, and changes made meanwhile.
class RecordSafetyTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    Bytes plain;
    Bytes part_way; // the file's bytes once its first window is encrypted

    fs::path path(const QString& name) const { return folder.filePath(name).toStdString(); }
    fs::path record() const { return folder_listing_paths(path("state")).at(0); }

    static std::vector<fs::path> folder_listing_paths(const fs::path& where) {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(where)) {
            found.push_back(entry.path());
        }
        return found;
    }

    FileResult encrypt(FileSystem& files, const fs::path& file, const std::string& key = password) {
        EngineState state = engine_state(key);
        DurableRun run(files, path("state"), {.window_bytes = small_window});
        run.encrypt(state, file, 0, [] {});
        run.flush();
        const FileResult result = run.take_outcomes().at(0).result;
        run.complete();
        return result;
    }

private slots:
    // Leaves "lost" with its first window encrypted and a record that says so.
    void init() {
        plain = random_bytes(700001, 5);
        write_file(path("lost"), plain);
        FaultyFileSystem faulty;
        faulty.fail_from(Operation::write, 2);
        QVERIFY(encrypt(faulty, path("lost")).partly_transformed);
        part_way = read_file(path("lost"));
        QVERIFY(part_way != plain);
    }

    void cleanup() { empty_folder(folder.path().toStdString()); }

    void partWayFileIsOnlyEverFinished_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("finished");
        QTest::addRow("rerun") << "rerun" << true;
        QTest::addRow("the disk came back under another device number") << "remount" << true;
        QTest::addRow("a copy is finished, and so is the original") << "copy" << true;
        QTest::addRow("another password is refused") << "other password" << false;
        QTest::addRow("renamed to .fxe, a decryption is refused") << "decrypt" << false;
        QTest::addRow("in use while another run holds its record") << "race" << false;
        QTest::addRow("a strong encryption is refused") << "strong" << false;
    }

    void partWayFileIsOnlyEverFinished() {
        QFETCH(QString, action);
        QFETCH(bool, finished);
        FaultyFileSystem remounted;
        remounted.device_shift = 7;
        FileResult result;
        fs::path file = path("lost");
        if (action == "rerun" || action == "remount") {
            result = encrypt(action == "rerun" ? local_file_system() : remounted, file);
        } else if (action == "copy") {
            fs::copy_file(file, path("copy"));
            result = encrypt(local_file_system(), path("copy"));
            QCOMPARE(read_file(path("copy")), protect(plain, password, 1));
            QVERIFY(result.finished_interrupted);
            result = encrypt(local_file_system(), file);
        } else if (action == "race") {
            const DurableRun holder(local_file_system(), path("state"));
            result = encrypt(local_file_system(), file);
            QCOMPARE(result.error, make_error_code(EngineError::in_use));
        } else if (action == "other password") {
            result = encrypt(local_file_system(), file, "another");
        } else {
            fs::rename(file, path("lost.fxe"));
            file = path("lost.fxe");
            EngineState state = engine_state();
            DurableRun run(local_file_system(), path("state"));
            if (action == "decrypt") {
                run.decrypt(state, file, path("lost"), 0, [] {});
                run.flush();
                result = run.take_outcomes().at(0).result;
            } else {
                result = other_format(run, file, path("lost.fxe.fxs"), 0);
            }
        }
        QCOMPARE(result.ok(), finished);
        QCOMPARE(result.finished_interrupted, finished);
        QCOMPARE(read_file(file), finished ? protect(plain, password, 1) : part_way);
        QCOMPARE(fs::exists(path("lost.fxe")) && fs::exists(path("lost")), false);
    }

    // A crash tears only what was never synced; anything else wrong with a record is damage, and
    // the files it names are refused untouched rather than finished from what is left of it.
    void damagedRecordRefusesItsFiles_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("error");
        QTest::addRow("a torn tail is not damage") << "torn tail" << 0;
        QTest::addRow("a flipped byte") << "flip" << int(EngineError::record_damaged);
        QTest::addRow("cut short") << "cut" << int(EngineError::record_damaged);
        QTest::addRow("zero-filled") << "zeros" << int(EngineError::record_unreadable);
    }

    void damagedRecordRefusesItsFiles() {
        QFETCH(QString, damage);
        QFETCH(int, error);
        Bytes bytes = read_file(record());
        if (damage == "torn tail") {
            bytes.resize(bytes.size() + 512, 0);
        } else if (damage == "flip") {
            bytes[1000] ^= 0x10; // among the samples of the first window
        } else if (damage == "cut") {
            bytes.resize(bytes.size() - 100);
        } else {
            std::fill(bytes.begin(), bytes.end(), 0);
        }
        write_file(record(), bytes);

        const FileResult result = encrypt(local_file_system(), path("lost"));
        if (error == 0) {
            QVERIFY(result.finished_interrupted);
            QCOMPARE(read_file(path("lost")), protect(plain, password, 1));
            return;
        }
        QCOMPARE(result.failed_step, FileStep::resume);
        QCOMPARE(result.error, make_error_code(static_cast<EngineError>(error)));
        QCOMPARE(read_file(path("lost")), part_way);
        QVERIFY(fs::exists(record()));
        if (error == int(EngineError::record_unreadable)) {
            return; // it names no file to give up
        }
        // Given up, the file is encrypted as it is now, and the record goes.
        {
            RecoveryJournal journal(local_file_system(), path("state"));
            journal.load_unfinished();
            QCOMPARE(journal.earlier().size(), std::size_t{1});
            QVERIFY(!journal.forget(UnfinishedEncryption(journal.earlier().front())));
        }
        const FileResult fresh = encrypt(local_file_system(), path("lost"));
        QVERIFY(fresh.ok() && !fresh.finished_interrupted);
        QCOMPARE(read_file(path("lost")), protect(part_way, password, 1));
        QVERIFY(fs::is_empty(path("state")));
    }

    // Nothing is removed or written that the run did not read, and one name is written once.
    void changesMadeDuringARunLoseNothing_data() {
        QTest::addColumn<QString>("change");
        QTest::addRow("the original grew before its removal") << "grown";
        QTest::addRow("a listed name became a link to another file") << "link";
        QTest::addRow("two sources of one destination") << "same destination";
    }

    void changesMadeDuringARunLoseNothing() {
        QFETCH(QString, change);
        const Bytes other = random_bytes(3000, 9);
        write_file(path("a.fxe"), protect(other, password, 1));
        write_file(path("outside"), other);
        EngineState state = engine_state();
        write_file(path("b"), other);
        DurableRun run(local_file_system(), path("state"));
        run.plan({path("a.fxe"), path("b")}, 1);
        if (change == "link") {
            fs::remove(path("b"));
            fs::create_symlink(path("outside"), path("b"));
            run.encrypt(state, path("b"), 2, [] {});
            run.flush();
            QCOMPARE(run.take_outcomes().at(0).result.error,
                     make_error_code(EngineError::changed_during_run));
            QCOMPARE(read_file(path("outside")), other);
            return;
        }
        run.decrypt(state, path("a.fxe"), path("a"), 1, [] {});
        run.flush();
        QVERIFY(run.take_outcomes().at(0).result.ok());
        if (change == "grown") {
            Bytes grown = protect(other, password, 1);
            grown.push_back(1);
            write_file(path("a.fxe"), grown);
            QCOMPARE(run.remove_original(1, path("a.fxe"),
                                         [](const fs::path& name) {
                                             fs::remove(name);
                                             return std::error_code{};
                                         }),
                     make_error_code(EngineError::changed_during_run));
            QVERIFY(fs::exists(path("a.fxe")));
        } else {
            write_file(path("a.fxs"), other);
            QCOMPARE(other_format(run, path("a.fxs"), path("a"), 3).error,
                     make_error_code(EngineError::same_destination));
            QCOMPARE(read_file(path("a")), other);
        }
    }

    // Where a file system has no unnamed files, a decryption is written under a hidden name; a
    // run killed then leaves plain text under it, which the next run removes and names.
    void hiddenNameOfAKilledRunIsRemoved() {
        const Bytes other = random_bytes(5000, 11);
        write_file(path("a.fxe"), protect(other, password, 1));
        const pid_t child = ::fork();
        if (child == 0) {
            EngineState state = engine_state();
            DurableRun run(local_file_system_without_unnamed_files(), path("state"));
            run.decrypt(state, path("a.fxe"), path("a"), 0, [] {});
            ::_exit(0); // killed before the new file was put in place
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        const auto left = folder_listing_paths(folder.path().toStdString());
        const auto hidden = std::find_if(left.begin(), left.end(), [](const fs::path& name) {
            return name.filename().native().starts_with(".");
        });
        QVERIFY(hidden != left.end());
        QCOMPARE(read_file(*hidden), other);

        DurableRun next(local_file_system(), path("state"));
        QCOMPARE(next.journal().removed_leftovers(), std::vector<fs::path>{*hidden});
        QVERIFY(!fs::exists(*hidden));
    }

    // There a strong decryption checks every chunk before it writes any plain text: a damaged
    // or forged file never puts text under the hidden name.
    void strongDecryptionUnderAHiddenNameChecksFirst_data() {
        QTest::addColumn<bool>("damaged");
        QTest::addRow("genuine") << false;
        QTest::addRow("its last chunk damaged") << true;
    }

    void strongDecryptionUnderAHiddenNameChecksFirst() {
        QFETCH(bool, damaged);
        const Bytes other = random_bytes(200000, 12);
        write_file(path("s"), other);
        EngineState state;
        QVERIFY(encrypt_strong_file(state, local_file_system(), path("s"), path("s.fxs"), password,
                                    new_header({.iterations = 1, .memory_kib = 8}, 4096), [] {})
                    .ok());
        fs::remove(path("s"));
        if (damaged) {
            Bytes stored = read_file(path("s.fxs"));
            stored.back() ^= 1;
            write_file(path("s.fxs"), stored);
        }
        FaultyFileSystem hidden_names(local_file_system_without_unnamed_files());
        const FileResult result =
            decrypt_strong_file(state, hidden_names, path("s.fxs"), path("s"), password, [] {});
        QCOMPARE(result.ok(), !damaged);
        QCOMPARE(hidden_names.calls(Operation::write) > 0, !damaged);
        QCOMPARE(fs::exists(path("s")), !damaged);
    }
};

QTEST_APPLESS_MAIN(RecordSafetyTest)
#include "tst_record_safety.moc"
