#include "tests/support/file_helpers.h"
#include "tests/ui/message_recorder.h"
#include "ui/mainscreen.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

// Folders dropped onto the window, or opened as documents.
class FolderDropTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;

    fs::path path(const char* name) const { return fs::path(folder.path().toStdString()) / name; }

    std::unique_ptr<AppState> state;
    std::unique_ptr<InMemoryFileTypeRegistry> registry;
    std::unique_ptr<MessageRecorder> recorder;
    std::unique_ptr<Mainscreen> window;

    // As a drag from a file manager: entering first, then the drop.
    QStringList queued() const {
        QStringList names;
        for (int row = 1; row <= state->file_count; ++row) {
            names << QString::fromStdString(
                state->file_queue.row(row).source.lexically_relative(path("")).string());
        }
        return names;
    }

    void drop(const std::vector<const char*>& names) {
        QMimeData data;
        QList<QUrl> urls;
        for (const char* name : names) {
            urls << QUrl::fromLocalFile(QString::fromStdString(path(name)));
        }
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &dropped);
    }

private slots:
    void init() {
        state = std::make_unique<AppState>();
        registry = std::make_unique<InMemoryFileTypeRegistry>();
        recorder = std::make_unique<MessageRecorder>();
        window = std::make_unique<Mainscreen>(*state, *registry, std::string());
        QVERIFY(folder.isValid());
        for (const char* name : {"docs/b.txt", "docs/sub/a.fxe", "more/c", "loose"}) {
            fs::create_directories(path(name).parent_path());
            write_file(path(name), random_bytes(10, 1));
        }
    }

    void cleanup() {
        window.reset();
        recorder.reset();
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
        recorder->answer = answer;
        drop({"loose", "docs", "docs/sub/a.fxe", "more"});

        QCOMPARE(recorder->questions,
                 QStringList{QString("Queue the 3 files in folder %1, %2 and its subfolders?")
                                 .arg(QString::fromStdString(path("docs")),
                                      QString::fromStdString(path("more")))});
        QCOMPARE(this->queued(), queued);
    }

    // An opened folder is asked about as a dropped one; documents that arrive while a question or
    // message is open wait for it to close, and are taken after.
    void openedFoldersAreAskedAboutAndLaterDocumentsWait() {
        int open_messages = 0;
        int most_open = 0;
        recorder->on_message = [&](const QString&) {
            most_open = std::max(most_open, ++open_messages);
            if (recorder->messages.size() == 1) {
                window->open_documents({path("more"), path("gone")});
            }
            --open_messages;
        };
        window->open_documents({path("loose"), path("docs"), path("missing")});

        QCOMPARE(most_open, 1);
        QCOMPARE(recorder->questions.size(), 2);
        QCOMPARE(queued(), (QStringList{"loose", "docs/b.txt", "docs/sub/a.fxe", "more/c"}));
        QCOMPARE(recorder->messages.size(), 2);
        QVERIFY(recorder->texts().last().endsWith(QString::fromStdString(path("gone"))));
    }

    // The listing lets events through; a Cancel there queues nothing of the folder.
    void aListingCanBeCancelled() {
        fs::create_directory(path("many"));
        for (int file = 0; file < 300; ++file) {
            write_file(path("many") / std::to_string(file), {});
        }
        QTimer::singleShot(0, window.get(),
                           [this] { window->findChild<QProgressDialog*>()->cancel(); });
        drop({"loose", "many"});
        QVERIFY(recorder->questions.isEmpty());
        QCOMPARE(state->file_count, 1);
    }
};

QTEST_MAIN(FolderDropTest)
#include "tst_folder_drop.moc"
