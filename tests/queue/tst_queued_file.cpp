#include "batch/queued_file.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_helpers.h"

#include <QTemporaryDir>
#include <QTest>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(ferrocase::FileMode)

class QueuedFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    fs::path path(const char* name) const { return folder.filePath(name).toStdString(); }

private slots:
    void modeFollowsTheName_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("multiple");
        QTest::addColumn<FileMode>("mode");
        QTest::addRow(".fxe") << "/d/a.txt.fxe" << false << FileMode::decrypt;
        QTest::addRow(".FXE") << "/d/A.FXE" << false << FileMode::decrypt;
        QTest::addRow(".Fxe") << "/d/a.Fxe" << false << FileMode::decrypt;
        QTest::addRow(".fxe followed by more") << "/d/a.fxe.bak" << false << FileMode::encrypt;
        QTest::addRow("plain file") << "/d/a.txt" << false << FileMode::encrypt;
        QTest::addRow("multiple encryption on") << "/d/a.fxe" << true << FileMode::encrypt;
        QTest::addRow("short name") << "fxe" << false << FileMode::encrypt;
    }

    void modeFollowsTheName() {
        QFETCH(QString, source);
        QFETCH(bool, multiple);
        QFETCH(FileMode, mode);
        QCOMPARE(choose_mode(source.toStdString(), multiple), mode);
    }

    void queueGrowsAndKeepsOlderRows() {
        FileQueue queue;
        for (std::int32_t row = 1; row <= 2500; ++row) {
            queue.row(row).source = "/f" + std::to_string(row);
        }
        QCOMPARE(queue.rows(), 2500);
        QCOMPARE(queue.row(2500).source, fs::path("/f2500"));
        const FileQueue& readOnly = queue;
        QVERIFY(readOnly.row(2501).source.empty());
        QCOMPARE(readOnly.rows(), 2500);
    }

    void rowsGetTheirDestinations() {
        QVERIFY(folder.isValid());
        const Bytes plain = random_bytes(15000, 1);
        write_file(path("a.bin"), plain);
        AppState state;
        state.password = "pw";
        state.file_queue.row(1).source = path("a.bin");
        state.file_queue.row(2).source = path(".fxe");
        state.file_count = 2;

        // Each row's outcome comes back tagged with the row.
        const auto result = [&](auto process) {
            DurableRun run(local_file_system(), path("state"));
            process(run);
            run.flush();
            const auto outcomes = run.take_outcomes();
            return outcomes.size() == 1 && outcomes[0].tag == state.current_file
                       ? outcomes[0].result
                       : file_failure(FileStep::none, "no single outcome", {});
        };
        state.current_file = 1;
        QVERIFY(result([&](DurableRun& run) { encrypt_in_place(state, run, [] {}); }).ok());
        QCOMPARE(state.file_queue.row(1).destination, path("a.bin"));

        fs::rename(path("a.bin"), path("a.bin.fxe"));
        state.file_queue.row(1).source = path("a.bin.fxe");
        QVERIFY(result([&](DurableRun& run) { decompress_it(state, run, [] {}); }).ok());
        QCOMPARE(state.file_queue.row(1).destination, path("a.bin"));
        QCOMPARE(read_file(path("a.bin")), plain);

        state.current_file = 2;
        const FileResult nameless =
            result([&](DurableRun& run) { decompress_it(state, run, [] {}); });
        QCOMPARE(nameless.failed_step, FileStep::create_destination);
        QVERIFY(nameless.describe().find("nothing left") != std::string::npos);
    }

    void onlySuccessfulDecryptionsLoseTheirSource() {
        AppState state;
        state.delete_originals = 1;
        const FileResult success;
        FileResult failed;
        failed.failed_step = FileStep::write;
        QVERIFY(should_remove_original(state, FileMode::decrypt, success));
        QVERIFY(!should_remove_original(state, FileMode::decrypt, failed));
        QVERIFY(!should_remove_original(state, FileMode::encrypt, success));
        state.delete_originals = 2;
        QVERIFY(!should_remove_original(state, FileMode::decrypt, success));
    }

    void readOnlyOriginalIsDeleted() {
        write_file(path("ro.fxe"), {1, 2, 3});
        fs::permissions(path("ro.fxe"), fs::perms::owner_read);
        QVERIFY(!delete_original(path("ro.fxe")));
        QVERIFY(!fs::exists(path("ro.fxe")));
        QVERIFY(delete_original(path("ro.fxe")));
    }
};

QTEST_APPLESS_MAIN(QueuedFileTest)
#include "tst_queued_file.moc"
