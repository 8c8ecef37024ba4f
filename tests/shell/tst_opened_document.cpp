#include "shell/opened_document.h"

#include <QDir>
#include <QTest>
#include <filesystem>

using namespace ferrocase;

// The documents are the arguments' own bytes; the window checks later whether they are files.
class OpenedDocumentTest : public QObject {
    Q_OBJECT

private slots:
    void documents_are_the_arguments_as_passed_data();
    void documents_are_the_arguments_as_passed();
};

void OpenedDocumentTest::documents_are_the_arguments_as_passed_data() {
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<QByteArrayList>("documents");

    QTest::addRow("the desktop's open command")
        << QByteArrayList{"shell", "in=/d/Report.fxe"} << QByteArrayList{"/d/Report.fxe"};
    QTest::addRow("a quote followed by a blank in the name")
        << QByteArrayList{"shell", "in=/d/doc\" 2.fxe"} << QByteArrayList{"/d/doc\" 2.fxe"};
    QTest::addRow("bytes that are not UTF-8")
        << QByteArrayList{"shell", "in=/d/lat\xe9.fxe"} << QByteArrayList{"/d/lat\xe9.fxe"};
    QTest::addRow("several documents")
        << QByteArrayList{"shell", "IN=/d/a.fxe", "/d/b.fxe", "/d/c d.fxe"}
        << QByteArrayList{"/d/a.fxe", "/d/b.fxe", "/d/c d.fxe"};
    QTest::addRow("an empty in= followed by documents")
        << QByteArrayList{"shell", "in=", "/d/a.fxe"} << QByteArrayList{"/d/a.fxe"};
    QTest::addRow("a relative path")
        << QByteArrayList{"shell", "in=a.fxe"}
        << QByteArrayList{QFile::encodeName(QDir::currentPath()) + "/a.fxe"};
    QTest::addRow("no shell") << QByteArrayList{"in=/d/a.fxe"} << QByteArrayList{};
    QTest::addRow("no in=") << QByteArrayList{"shell", "/d/a.fxe"} << QByteArrayList{};
    QTest::addRow("no arguments") << QByteArrayList{} << QByteArrayList{};
}

void OpenedDocumentTest::documents_are_the_arguments_as_passed() {
    QFETCH(QByteArrayList, arguments);
    QFETCH(QByteArrayList, documents);

    std::vector<std::string> passed;
    for (const QByteArray& argument : arguments) {
        passed.push_back(argument.toStdString());
    }
    QByteArrayList found;
    for (const std::filesystem::path& document : opened_documents(passed)) {
        found << QByteArray::fromStdString(document.native());
    }
    QCOMPARE(found, documents);
}

QTEST_GUILESS_MAIN(OpenedDocumentTest)
#include "tst_opened_document.moc"
