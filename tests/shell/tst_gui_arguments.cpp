#include "shell/gui_arguments.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

Q_DECLARE_METATYPE(ferrocase::GuiRequest)

using namespace ferrocase;

class GuiArgumentsTest : public QObject {
    Q_OBJECT

private slots:
    void arguments_are_read_data();
    void arguments_are_read();
    void help_and_version_need_no_display_data();
    void help_and_version_need_no_display();
};

void GuiArgumentsTest::arguments_are_read_data() {
    const QByteArray here = QFile::encodeName(QDir::currentPath());
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<GuiRequest>("request");
    QTest::addColumn<QByteArrayList>("documents");
    QTest::addRow("files, bytes as given")
        << QByteArrayList{"a.fxe", "/d/lat\xe9.fxe", "-"} << GuiRequest::open_window
        << QByteArrayList{here + "/a.fxe", "/d/lat\xe9.fxe", here + "/-"};
    QTest::addRow("-V") << QByteArrayList{"-V"} << GuiRequest::print_version << QByteArrayList{};
    QTest::addRow("a file named like an option after --")
        << QByteArrayList{"--", "--help"} << GuiRequest::open_window
        << QByteArrayList{here + "/--help"};
    QTest::addRow("the desktop's form, read as it always was")
        << QByteArrayList{"shell", "in=/d/a.fxe", "--help"} << GuiRequest::open_window
        << QByteArrayList{"/d/a.fxe", here + "/--help"};
    QTest::addRow("files named like the desktop's form after --")
        << QByteArrayList{"--", "shell", "in=x", "/d/a.fxe"} << GuiRequest::open_window
        << QByteArrayList{here + "/shell", here + "/in=x", "/d/a.fxe"};
    QTest::addRow("the desktop's form before --, read as it always was")
        << QByteArrayList{"shell", "in=/d/a.fxe", "--", "b"} << GuiRequest::open_window
        << QByteArrayList{"/d/a.fxe", here + "/--", here + "/b"};
    QTest::addRow("a path that holds the word shell")
        << QByteArrayList{"/home/shelley/a.fxe"} << GuiRequest::open_window
        << QByteArrayList{"/home/shelley/a.fxe"};
}

void GuiArgumentsTest::arguments_are_read() {
    QFETCH(QByteArrayList, arguments);
    QFETCH(GuiRequest, request);
    QFETCH(QByteArrayList, documents);
    std::vector<std::string> passed;
    for (const QByteArray& argument : arguments) {
        passed.push_back(argument.toStdString());
    }
    const GuiArguments read = read_gui_arguments(passed);
    QCOMPARE(read.request, request);
    QByteArrayList found;
    for (const auto& document : read.documents) {
        found << QByteArray::fromStdString(document.native());
    }
    QCOMPARE(found, documents);
}

void GuiArgumentsTest::help_and_version_need_no_display_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::addRow("--help") << "--help" << 0 << "Usage: ferrocase [FILE...]\n";
    QTest::addRow("--version") << "--version" << 0 << "ferrocase 1.";
    QTest::addRow("an unknown option") << "--halp" << 2 << "";
}

// The real program, with no display to open a window on.
void GuiArgumentsTest::help_and_version_need_no_display() {
    QFETCH(QString, option);
    QFETCH(int, status);
    QFETCH(QString, output);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(name);
    }
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(FERROCASE_EXECUTABLE, {option});
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    const QString printed = QString::fromUtf8(program.readAllStandardOutput());
    QVERIFY2(output.isEmpty() ? printed.isEmpty() : printed.startsWith(output),
             qPrintable(printed));
    QCOMPARE(program.readAllStandardError().isEmpty(), status == 0);
}

QTEST_GUILESS_MAIN(GuiArgumentsTest)
#include "tst_gui_arguments.moc"
