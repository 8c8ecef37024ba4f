#include "batch/batch_run.h"
#include "tests/batch/fake_batch_window.h"
#include "tests/support/file_helpers.h"

#include <QTemporaryDir>
#include <QTest>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(ferrocase::ReplaceAnswer)

// Before a run whose strong files would take the place of existing files, the window names them
// and asks once.
class StrongReplacementTest : public QObject {
    Q_OBJECT

private slots:
    void theUserIsAskedOnceBeforeTheRun_data() {
        QTest::addColumn<ReplaceAnswer>("answer");
        QTest::newRow("replace") << ReplaceAnswer::replace;
        QTest::newRow("skip") << ReplaceAnswer::skip;
        QTest::newRow("cancel") << ReplaceAnswer::cancel;
    }
    void theUserIsAskedOnceBeforeTheRun() {
        QFETCH(ReplaceAnswer, answer);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const fs::path folder = dir.path().toStdString();
        AppState state;
        state.strong.kdf = {.iterations = 1, .memory_kib = 8};
        const Bytes older = random_bytes(30, 2);
        write_file(folder / "a", random_bytes(50, 1));
        write_file(folder / "a.fxs", older);
        write_file(folder / "b", random_bytes(50, 3)); // nothing in its way
        state.file_queue.row(++state.file_count).source = folder / "a";
        state.file_queue.row(++state.file_count).source = folder / "b";

        FakeBatchWindow window;
        window.text1 = window.text2 = U"password";
        window.strong = 1;
        window.replace_answer = answer;
        const auto outcome = run_batch(state, window, local_file_system(), folder / "state");

        const QStringList asked = window.entries("ask ");
        QCOMPARE(asked.size(), 1);
        QVERIFY2(
            asked[0].contains("\n" + QString::fromStdString((folder / "a.fxs").string()) + "\n\n"),
            qPrintable(asked[0]));
        QVERIFY(!asked[0].contains("b.fxs"));
        QCOMPARE(outcome,
                 answer == ReplaceAnswer::cancel ? RunOutcome::refused : RunOutcome::finished);
        QCOMPARE(read_file(folder / "a.fxs") == older, answer != ReplaceAnswer::replace);
        QCOMPARE(fs::exists(folder / "b.fxs"), answer != ReplaceAnswer::cancel);
        const QStringList failures = window.entries("message 16");
        QCOMPARE(failures.size(), answer == ReplaceAnswer::skip ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(StrongReplacementTest)
#include "tst_strong_replacement.moc"
