#include "tests/e2e/encrypted_document.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <signal.h>

using namespace ferrocase;
using namespace ferrocase::testing;

// Starts the real program in a real X server for an opened ".fxe" document, from the command line
// and through the desktop's own "open", and works its window with synthetic keys as a user would.
class X11OpenDocumentTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void two_documents_opened_one_after_the_other_are_run_in_one_window();
    void the_desktop_opens_a_document_with_the_program();

private:
    void start_x_server();
    // Runs a tool to its end within the time given; returns what it printed, or nothing when it
    // failed or took too long.
    std::optional<QString> run(const QString& tool, const QStringList& arguments,
                               int milliseconds = 10000);
    std::optional<QString> xdotool(const QStringList& arguments, int milliseconds = 10000) {
        return run(xdotool_tool_, arguments, milliseconds);
    }
    // Waits for a visible window whose whole title matches the regular expression; returns its
    // id, or nothing.
    std::optional<QString> wait_for_window(const QString& title_pattern, int milliseconds);
    // Types the password into both boxes, presses the run button and dismisses "Finished !".
    void decrypt_in_window(const QString& window);
    void write_document(const QString& path, const Bytes& plain);
    QString program_output();

    QString xvfb_tool_;
    QString xdotool_tool_;
    QTemporaryDir folder_;
    QProcess xvfb_;
    QProcess program_;
    qint64 opened_by_desktop_ = 0; // the program that "gio open" started, once its window is found
    QProcessEnvironment environment_;
};

namespace {

void stop(QProcess& process) {
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
}

} // namespace

void X11OpenDocumentTest::initTestCase() {
    xvfb_tool_ = QStandardPaths::findExecutable("Xvfb");
    xdotool_tool_ = QStandardPaths::findExecutable("xdotool");
    if (xvfb_tool_.isEmpty() || xdotool_tool_.isEmpty()) {
        QSKIP("Xvfb or xdotool is not installed");
    }
    QVERIFY(folder_.isValid());
    start_x_server();
}

// Xvfb picks a free display itself and writes its number to the descriptor given.
void X11OpenDocumentTest::start_x_server() {
    xvfb_.start(xvfb_tool_, {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    QVERIFY2(xvfb_.waitForStarted(10000), "Xvfb did not start");
    QByteArray display;
    const QDeadlineTimer deadline(15000);
    while (!display.contains('\n') && !deadline.hasExpired() &&
           xvfb_.state() == QProcess::Running) {
        xvfb_.waitForReadyRead(200);
        display += xvfb_.readAllStandardOutput();
    }
    QVERIFY2(display.contains('\n'),
             qPrintable("Xvfb gave no display number: " + xvfb_.readAllStandardError()));

    environment_ = QProcessEnvironment::systemEnvironment();
    environment_.insert("DISPLAY", ':' + QString::fromLatin1(display.trimmed()));
    environment_.insert("QT_QPA_PLATFORM", "xcb");
    // The program registers its file type at every start: keep that out of the real home.
    environment_.insert("XDG_DATA_HOME", folder_.filePath("data"));
    environment_.insert("XDG_CONFIG_HOME", folder_.filePath("config"));
    QVERIFY(QDir().mkpath(folder_.filePath("runtime")));
    QVERIFY(QFile::setPermissions(folder_.filePath("runtime"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    environment_.insert("XDG_RUNTIME_DIR", folder_.filePath("runtime"));
}

void X11OpenDocumentTest::cleanup() {
    stop(program_);
    if (opened_by_desktop_ > 0) {
        ::kill(static_cast<pid_t>(opened_by_desktop_), SIGTERM);
        opened_by_desktop_ = 0;
    }
}

void X11OpenDocumentTest::cleanupTestCase() {
    stop(xvfb_);
}

std::optional<QString> X11OpenDocumentTest::run(const QString& tool, const QStringList& arguments,
                                                int milliseconds) {
    QProcess process;
    process.setProcessEnvironment(environment_);
    process.start(tool, arguments);
    if (!process.waitForFinished(milliseconds)) {
        process.kill();
        process.waitForFinished(5000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

std::optional<QString> X11OpenDocumentTest::wait_for_window(const QString& title_pattern,
                                                            int milliseconds) {
    const auto found = xdotool(
        {"search", "--sync", "--onlyvisible", "--name", '^' + title_pattern + '$'}, milliseconds);
    if (!found) {
        return std::nullopt;
    }
    return found->split('\n', Qt::SkipEmptyParts).value(0);
}

QString X11OpenDocumentTest::program_output() {
    return QString::fromUtf8(program_.readAllStandardError());
}

void X11OpenDocumentTest::write_document(const QString& path, const Bytes& plain) {
    const FileResult encrypted = write_encrypted_document(path.toStdString(), plain);
    QVERIFY2(encrypted.ok(), encrypted.describe().c_str());
}

void X11OpenDocumentTest::decrypt_in_window(const QString& window) {
    QVERIFY2(xdotool({"windowfocus", "--sync", window}), "the main window took no focus");
    // The focus starts at the browse button; the password boxes follow the run button.
    QVERIFY(xdotool({"key", "--delay", "60", "Tab", "Tab"}));
    QVERIFY(xdotool({"type", "--delay", "30", document_password}));
    QVERIFY(xdotool({"key", "--delay", "60", "Tab"}));
    QVERIFY(xdotool({"type", "--delay", "30", document_password}));
    QVERIFY(xdotool({"key", "--delay", "60", "shift+Tab", "shift+Tab", "space"}));

    const auto finished = wait_for_window("Ferrocase", 30000);
    QVERIFY2(finished, qPrintable("no message box appeared after the run; the program said: " +
                                  program_output()));
    QVERIFY2(xdotool({"windowfocus", "--sync", *finished}), "the message box took no focus");
    QVERIFY(xdotool({"key", "Return"}));
    QTRY_VERIFY2_WITH_TIMEOUT(!xdotool({"search", "--onlyvisible", "--name", "^Ferrocase$"}),
                              "the message box stayed open", 10000);
}

// The second start hands its document to the first one's window and ends.
void X11OpenDocumentTest::two_documents_opened_one_after_the_other_are_run_in_one_window() {
    const QString first = folder_.filePath("Annual Report.fxe");
    const QString second = folder_.filePath("Budget \"2027\" draft.fxe");
    const Bytes first_plain = random_bytes(30'000, 11);
    const Bytes second_plain = random_bytes(12'000, 12);
    write_document(first, first_plain);
    write_document(second, second_plain);

    program_.setProcessEnvironment(environment_);
    program_.start(FERROCASE_EXECUTABLE, {"shell", "in=" + first});
    QVERIFY2(program_.waitForStarted(10000), "the program did not start");
    const auto window = wait_for_window("Files to Process:1", 20000);
    QVERIFY2(window, qPrintable("no window titled \"Files to Process:1\" appeared; the program "
                                "said: " +
                                program_output()));

    QProcess later;
    later.setProcessEnvironment(environment_);
    later.start(FERROCASE_EXECUTABLE, {"shell", "in=" + second});
    QVERIFY2(later.waitForFinished(20000), "the second start did not end");
    QCOMPARE(later.exitCode(), 0);
    const auto same_window = wait_for_window("Files to Process:2", 20000);
    QVERIFY2(same_window, "the first window did not take the second document");
    QCOMPARE(*same_window, *window);
    decrypt_in_window(*window);
    if (QTest::currentTestFailed()) {
        return;
    }

    QVERIFY2(read_file(folder_.filePath("Annual Report").toStdString()) == first_plain,
             "the first document was not decrypted");
    QVERIFY2(read_file(folder_.filePath("Budget \"2027\" draft").toStdString()) == second_plain,
             "the second document was not decrypted");
    QVERIFY(QFile::exists(first) && QFile::exists(second));
    QCOMPARE(program_.state(), QProcess::Running);
}

// The program's first start registers the type; the desktop then starts it for the document.
void X11OpenDocumentTest::the_desktop_opens_a_document_with_the_program() {
    const QString gio = QStandardPaths::findExecutable("gio");
    const QString update = QStandardPaths::findExecutable("update-mime-database");
    if (gio.isEmpty() || update.isEmpty()) {
        QSKIP("GLib's gio or update-mime-database is not installed");
    }
    const QString document = folder_.filePath("Opened From The Desktop.fxe");
    const QString decrypted = folder_.filePath("Opened From The Desktop");
    const Bytes plain = random_bytes(12'345, 5);
    write_document(document, plain);

    program_.setProcessEnvironment(environment_);
    program_.start(FERROCASE_EXECUTABLE, {});
    QVERIFY2(program_.waitForStarted(10000), "the program did not start");
    QVERIFY2(wait_for_window(R"(Ferrocase PRO - V1\.60 .*)", 20000),
             qPrintable("the program's idle window did not appear; it said: " + program_output()));
    stop(program_);
    QVERIFY2(run(update, {folder_.filePath("data/mime")}, 30000), "update-mime-database failed");

    QVERIFY2(run(gio, {"open", document}, 20000), "gio could not open the document");
    const auto window = wait_for_window("Files to Process:1", 20000);
    QVERIFY2(window, "the desktop did not start the program with the document");
    const auto pid = xdotool({"getwindowpid", *window});
    QVERIFY2(pid, "the program's window has no process id");
    opened_by_desktop_ = pid->trimmed().toLongLong();
    decrypt_in_window(*window);
    if (QTest::currentTestFailed()) {
        return;
    }

    QVERIFY2(read_file(decrypted.toStdString()) == plain, "the decrypted bytes are wrong");
}

QTEST_GUILESS_MAIN(X11OpenDocumentTest)
#include "tst_x11_open_document.moc"
