#include "shell/command_line.h"
#include "shell/opened_document.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

using namespace ferrocase;

class OpenedDocumentTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void queues_the_document_as_spelled_on_disk_data();
    void queues_the_document_as_spelled_on_disk();
    void queues_nothing_without_an_existing_file_data();
    void queues_nothing_without_an_existing_file();

private:
    QTemporaryDir folder_;
    QString previous_directory_;
};

void OpenedDocumentTest::initTestCase() {
    QVERIFY(folder_.isValid());
    for (const char* name : {"Report.fxe", "Mixed Case Ä.fxe", "Plain", "Plain\".fxe"}) {
        QFile file(folder_.filePath(QString::fromUtf8(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir(folder_.path()).mkdir("Folder.fxe"));
    previous_directory_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder_.path()));
}

void OpenedDocumentTest::cleanupTestCase() {
    QDir::setCurrent(previous_directory_);
}

namespace {

// What the start-up does with the arguments before the document is queued.
void parse(AppState& state, const std::string& text) {
    state.command_line = lower_case(text);
    if (mentions_shell(state.command_line)) {
        process_commands(state, text);
    }
}

} // namespace

void OpenedDocumentTest::queues_the_document_as_spelled_on_disk_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("queued");

    const QString folder = folder_.path();
    QTest::addRow("an absolute path") << "in=" + folder + "/Report.fxe" << folder + "/Report.fxe";
    QTest::addRow("capitals, blanks and a non-ASCII letter")
        << "in=" + folder + "/Mixed Case Ä.fxe" << folder + "/Mixed Case Ä.fxe";
    QTest::addRow("a path relative to the current directory")
        << QString("in=Report.fxe") << folder + "/Report.fxe";
}

void OpenedDocumentTest::queues_the_document_as_spelled_on_disk() {
    QFETCH(QString, argument);
    QFETCH(QString, queued);

    AppState state;
    state.file_queue.row(2).source = "/earlier/selection";
    const std::string text = argument_text({"shell", argument.toStdString()});
    parse(state, text);

    QVERIFY(queue_opened_document(state, text));
    QCOMPARE(state.file_count, 1);
    QCOMPARE(QString::fromStdString(state.file_queue.row(1).source.string()), queued);
    QVERIFY(state.file_queue.row(1).destination.empty());
    QCOMPARE(state.file_queue.row(2).source, std::filesystem::path("/earlier/selection"));
    QCOMPARE(QString::fromStdString(state.command_path), argument.mid(3).toLower());
}

void OpenedDocumentTest::queues_nothing_without_an_existing_file_data() {
    QTest::addColumn<QStringList>("arguments");

    const QString folder = folder_.path();
    QTest::addRow("a path that does not exist") << QStringList{"shell", "in=" + folder + "/No.fxe"};
    QTest::addRow("the path in the wrong letter case")
        << QStringList{"shell", "in=" + folder + "/report.fxe"};
    QTest::addRow("a folder") << QStringList{"shell", "in=" + folder + "/Folder.fxe"};
    QTest::addRow("no shell") << QStringList{"in=" + folder + "/Report.fxe"};
    QTest::addRow("no in=") << QStringList{"shell", folder + "/Report.fxe"};
    QTest::addRow("no arguments") << QStringList{};
    QTest::addRow("a name with a double quote, cut short at another file")
        << QStringList{"shell", "in=" + folder + "/Plain\".fxe"};
}

void OpenedDocumentTest::queues_nothing_without_an_existing_file() {
    QFETCH(QStringList, arguments);

    std::vector<std::string> split;
    for (const QString& argument : arguments) {
        split.push_back(argument.toStdString());
    }
    AppState state;
    const std::string text = argument_text(split);
    parse(state, text);

    QVERIFY(!queue_opened_document(state, text));
    QCOMPARE(state.file_count, 0);
    QCOMPARE(state.file_queue.rows(), 0);
}

QTEST_GUILESS_MAIN(OpenedDocumentTest)
#include "tst_opened_document.moc"
