#include "shell/command_line.h"
#include "shell/opened_document.h"
#include "tests/e2e/encrypted_document.h"
#include "tests/ui/message_recorder.h"
#include "ui/mainscreen.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace ferrocase;
using namespace ferrocase::testing;

// From a document that the desktop opens with this program to its decrypted file, through the
// real window.
class OpenDocumentTest : public QObject {
    Q_OBJECT

private slots:
    void an_opened_document_is_decrypted_with_the_typed_password_data();
    void an_opened_document_is_decrypted_with_the_typed_password();
};

void OpenDocumentTest::an_opened_document_is_decrypted_with_the_typed_password_data() {
    QTest::addColumn<QString>("extension");
    QTest::newRow("legacy") << ".fxe";
    QTest::newRow("strong") << ".fxs";
}

void OpenDocumentTest::an_opened_document_is_decrypted_with_the_typed_password() {
    QFETCH(QString, extension);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const std::filesystem::path document =
        folder.filePath("Quarterly Report.pdf" + extension).toStdString();
    const std::filesystem::path decrypted = folder.filePath("Quarterly Report.pdf").toStdString();
    const Bytes plain = random_bytes(25'001, 7);
    const FileResult encrypted = extension == ".fxs" ? write_strong_document(document, plain)
                                                     : write_encrypted_document(document, plain);
    QVERIFY2(encrypted.ok(), encrypted.describe().c_str());
    QVERIFY(read_file(document) != plain);

    // What the program's start does with the arguments the desktop passes.
    const std::vector<std::string> arguments{"shell", "in=" + document.string()};
    AppState state;
    InMemoryFileTypeRegistry registry;
    MessageRecorder recorder;
    Mainscreen window(state, registry, argument_text(arguments));
    window.show();
    window.open_documents(opened_documents(arguments));
    QCOMPARE(window.windowTitle(), QString("Files to Process:1"));

    auto* password = window.findChild<QLineEdit*>("Text1");
    auto* verify = window.findChild<QLineEdit*>("Text2");
    auto* run = window.findChild<QPushButton*>("Command2");
    QVERIFY(password && verify && run);
    QTest::keyClicks(password, document_password);
    QTest::keyClicks(verify, document_password);
    QTest::mouseClick(run, Qt::LeftButton);

    QCOMPARE(recorder.texts(), QStringList{"Finished !"});
    QVERIFY(read_file(decrypted) == plain);
    QVERIFY(std::filesystem::exists(document));
    QCOMPARE(state.file_count, 0);
}

QTEST_MAIN(OpenDocumentTest)
#include "tst_open_document.moc"
