#include "tests/support/file_helpers.h"
#include "tests/ui/message_recorder.h"
#include "ui/mainscreen.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

// Folders dropped onto the window.
class FolderDropTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;

    fs::path path(const char* name) const { return fs::path(folder.path().toStdString()) / name; }

private slots:
    void init() {
        QVERIFY(folder.isValid());
        for (const char* name : {"docs/b.txt", "docs/sub/a.fxe", "more/c", "loose"}) {
            fs::create_directories(path(name).parent_path());
            write_file(path(name), random_bytes(10, 1));
        }
    }

    // One question for all the folders; their files follow the dropped ones, each once.
    void droppedFoldersAreQueuedOnceAgreed_data() {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("queued");
        QTest::addRow("agreed") << true
                                << QStringList{"loose", "docs/sub/a.fxe", "docs/b.txt", "more/c"};
        QTest::addRow("declined") << false << QStringList{"loose", "docs/sub/a.fxe"};
    }

    void droppedFoldersAreQueuedOnceAgreed() {
        QFETCH(bool, answer);
        QFETCH(QStringList, queued);
        AppState state;
        InMemoryFileTypeRegistry registry;
        MessageRecorder recorder;
        recorder.answer = answer;
        Mainscreen window(state, registry, std::string());

        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path("loose"))),
                      QUrl::fromLocalFile(QString::fromStdString(path("docs"))),
                      QUrl::fromLocalFile(QString::fromStdString(path("docs/sub/a.fxe"))),
                      QUrl::fromLocalFile(QString::fromStdString(path("more")))});
        // As a drag from a file manager: entering first, then the drop.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &drop);

        QCOMPARE(recorder.questions,
                 QStringList{QString("Queue the 3 files in folder %1, %2 and its subfolders?")
                                 .arg(QString::fromStdString(path("docs")),
                                      QString::fromStdString(path("more")))});
        QStringList names;
        for (int row = 1; row <= state.file_count; ++row) {
            names << QString::fromStdString(
                state.file_queue.row(row).source.lexically_relative(path("")).string());
        }
        QCOMPARE(names, queued);
    }
};

QTEST_MAIN(FolderDropTest)
#include "tst_folder_drop.moc"
