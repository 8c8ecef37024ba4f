#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "tests/support/file_helpers.h"
#include "version.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

namespace {

// Remembers what had been written each time the stream was flushed.
struct FlushRecorder : std::stringbuf {
    std::vector<std::string> flushed;
    int sync() override {
        flushed.push_back(str());
        return 0;
    }
};

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

class CliTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;

    fs::path path(const QString& name) const { return folder.filePath(name).toStdString(); }

    Outcome run(const QStringList& arguments, const QByteArray& input = {},
                QProcess::ProcessChannelMode channels = QProcess::SeparateChannels) {
        QProcess process;
        process.setProcessChannelMode(channels);
        process.setWorkingDirectory(folder.path());
        process.start(FERROCASE_CLI_PATH, arguments);
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000)) {
            qWarning("ferrocase-cli did not finish");
            return {};
        }
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

private slots:
    void init() {
        QVERIFY(folder.isValid());
        write_file(path("pw"), Bytes{'s', '3', 'c', 'r', 'e', 't', '\n'});
    }

    void optionsAreParsed_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("skipLevel");
        QTest::addColumn<bool>("multiple");
        QTest::addColumn<bool>("deleteOriginals");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("error");
        QTest::addRow("defaults") << QStringList{"a"} << 0 << false << false << QStringList{"a"}
                                  << "";
        QTest::addRow("everything")
            << QStringList{"--skip", "4", "--multiple", "--delete-originals", "a", "b"} << 4 << true
            << true << QStringList{"a", "b"} << "";
        QTest::addRow("skip with equals")
            << QStringList{"--skip=2", "a"} << 2 << false << false << QStringList{"a"} << "";
        QTest::addRow("after -- everything is a file")
            << QStringList{"--", "--multiple"} << 0 << false << false << QStringList{"--multiple"}
            << "";
        QTest::addRow("level out of range")
            << QStringList{"--skip", "5", "a"} << 0 << false << false << QStringList{}
            << "--skip takes a level from 0 to 4, not \"5\"";
        QTest::addRow("level missing") << QStringList{"a", "--skip"} << 0 << false << false
                                       << QStringList{"a"} << "--skip needs a value";
        QTest::addRow("unknown option") << QStringList{"--fast", "a"} << 0 << false << false
                                        << QStringList{} << "unknown option --fast";
        QTest::addRow("no files") << QStringList{"--multiple"} << 0 << true << false
                                  << QStringList{} << "no files given";
    }

    void optionsAreParsed() {
        QFETCH(QStringList, arguments);
        QFETCH(int, skipLevel);
        QFETCH(bool, multiple);
        QFETCH(bool, deleteOriginals);
        QFETCH(QStringList, files);
        QFETCH(QString, error);
        std::vector<std::string> words;
        for (const QString& argument : arguments) {
            words.push_back(argument.toStdString());
        }
        const cli::ParsedOptions parsed = cli::parse_options(words);
        QCOMPARE(QString::fromStdString(parsed.error), error);
        if (!error.isEmpty()) {
            return;
        }
        QCOMPARE(parsed.options.skip_level, skipLevel);
        QCOMPARE(parsed.options.allow_multiple_encryption, multiple);
        QCOMPARE(parsed.options.delete_originals, deleteOriginals);
        QStringList parsedFiles;
        for (const auto& file : parsed.options.files) {
            parsedFiles << QString::fromStdString(file);
        }
        QCOMPARE(parsedFiles, files);
    }

    void refusalsAreUsageErrors_data() {
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<bool>("fileIsFolder");
        QTest::addColumn<QString>("message");
        QTest::addRow("empty") << QByteArray("\n") << false
                               << "no password provided; an empty password protects nothing";
        QTest::addRow("no code in Windows-1252")
            << QByteArray("p\xE2\x82\xBF\n") << false << "has no code in Windows-1252";
        QTest::addRow("longer than the key cursor can count")
            << QByteArray(32767, 'k') + '\n'
            << false << "longer than 32766 characters";
        QTest::addRow("a NUL would leave plain bytes unchanged")
            << QByteArray("ab\0c\n", 5) << false << "control character U+0000 (character 3)";
        QTest::addRow("another control character")
            << QByteArray("\xC3\xA9\x1B\n") << false << "control character U+001B (character 2)";
        QTest::addRow("UTF-16 without a byte-order mark")
            << QByteArray("s\0e\0c\0\n\0", 8) << false << "UTF-16 with a byte-order mark";
        // Refused, never repaired: a repaired strong password would be another password.
        const QString malformed = "the password file's UTF-16 text is malformed";
        QTest::addRow("UTF-16 with a lone surrogate")
            << QByteArray("\xFF\xFEs\0\x00\xD8\n\0", 8) << false << malformed;
        QTest::addRow("UTF-16 with a stray last byte")
            << QByteArray("\xFE\xFF\0s\0e\0", 7) << false << malformed;
        QTest::addRow("bad UTF-8")
            << QByteArray("pass\xC3(\n") << false << "the password is not valid UTF-8 text";
        QTest::addRow("a folder for the password file") << QByteArray() << true << "is a folder";
    }

    void refusalsAreUsageErrors() {
        QFETCH(QByteArray, password);
        QFETCH(bool, fileIsFolder);
        QFETCH(QString, message);
        const Bytes plain = random_bytes(100, 1);
        write_file(path("f"), plain);
        if (fileIsFolder) {
            fs::create_directory(path("folder"));
        }
        const Outcome outcome =
            run({"--password-file", fileIsFolder ? "folder" : "-", "f"}, password);
        QCOMPARE(outcome.exitCode, 2);
        QVERIFY2(outcome.err.contains(message), qPrintable(outcome.err));
        QCOMPARE(read_file(path("f")), plain);
    }

    void encryptsThenDecryptsAndDeletesOnlyDecryptedSources() {
        const Bytes plain = random_bytes(31234, 2);
        write_file(path("notes.txt"), plain);
        Outcome outcome =
            run({"--password-file", "pw", "--skip", "2", "--delete-originals", "notes.txt"});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QString("encrypted  notes.txt\n"));
        QVERIFY(fs::exists(path("notes.txt")));
        QVERIFY(read_file(path("notes.txt")) != plain);

        fs::rename(path("notes.txt"), path("notes.txt.FXE"));
        outcome = run({"--password-file", "pw", "--skip=2", "--delete-originals", "notes.txt.FXE"});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QString("decrypted  notes.txt.FXE -> notes.txt; original deleted\n"));
        QCOMPARE(read_file(path("notes.txt")), plain);
        QVERIFY(!fs::exists(path("notes.txt.FXE")));
    }

    void byteOrderMarkIsNotPartOfThePassword_data() {
        QTest::addColumn<QByteArray>("passwordFile");
        QTest::addRow("UTF-8, Windows line end") << QByteArray("\xEF\xBB\xBFs3cret\r\n");
        QTest::addRow("UTF-16, little-endian") << QByteArray("\xFF\xFEs\0"
                                                             "3\0c\0r\0e\0t\0\r\0\n\0x\0",
                                                             20);
        QTest::addRow("UTF-16, big-endian") << QByteArray("\xFE\xFF\0s\0"
                                                          "3\0c\0r\0e\0t",
                                                          14);
    }

    void byteOrderMarkIsNotPartOfThePassword() {
        QFETCH(QByteArray, passwordFile);
        const Bytes plain = random_bytes(700, 6);
        write_file(path("bom.txt"), plain);
        write_file(path("pw-bom"), Bytes(passwordFile.begin(), passwordFile.end()));
        QCOMPARE(run({"--password-file", "pw-bom", "bom.txt"}).exitCode, 0);
        QVERIFY(read_file(path("bom.txt")) != plain);
        QCOMPARE(run({"--password-file", "pw", "--multiple", "bom.txt"}).exitCode, 0);
        QCOMPARE(read_file(path("bom.txt")), plain);
    }

    void multipleEncryptsFxeFilesInPlace() {
        const Bytes plain = random_bytes(500, 3);
        write_file(path("x.fxe"), plain);
        const Outcome outcome = run({"--password-file", "pw", "--multiple", "x.fxe"});
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY(!fs::exists(path("x")));
        QCOMPARE(read_file(path("x.fxe")).size(), plain.size());
    }

    void aFailedFileGivesStatusOneAndKeepsItsSource() {
        write_file(path("good"), random_bytes(10, 4));
        fs::create_directory(path("folder.fxe"));
        const Bytes cipher = random_bytes(10, 5);
        write_file(path("dest.fxe"), cipher);
        fs::create_directory(path("dest")); // the decrypted file cannot take this name
        const Outcome outcome = run({"--password-file", "pw", "--delete-originals", "missing",
                                     "folder.fxe", "dest.fxe", "good"});
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.out, QString("encrypted  good\n"));
        const QStringList failures = outcome.err.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(failures.size(), 3);
        // A folder is known for one before the run starts.
        QCOMPARE(failures[0], "ferrocase-cli: could not open folder.fxe: is a folder; use -r to "
                              "take the files below it");
        QCOMPARE(failures[1], "ferrocase-cli: could not open missing: No such file or directory");
        QVERIFY(failures[2].startsWith("ferrocase-cli: could not replace dest: "));
        QCOMPARE(read_file(path("dest.fxe")), cipher);
        QVERIFY(!fs::exists(path("missing")));
    }

    // Any characters, composed or not; .fxs files are decrypted without --strong; a wrong
    // password is refused and leaves the source and no plain file.
    void strongFilesRoundTrip() {
        const Bytes plain = random_bytes(70000, 7);
        write_file(path("notes.txt"), plain);
        write_file(path("pw-nfd"), Bytes{0xD0, 0x9A, 'e', 0xCC, 0x81, '\n'});
        write_file(path("pw-nfc"), Bytes{0xD0, 0x9A, 0xC3, 0xA9, '\n'});
        Outcome outcome =
            run({"--strong", "--delete-originals", "--password-file", "pw-nfd", "notes.txt"});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QString("encrypted  notes.txt -> notes.txt.fxs; original deleted\n"));
        QVERIFY(!fs::exists(path("notes.txt")));

        const Bytes stored = read_file(path("notes.txt.fxs"));
        outcome = run({"--password-file", "pw", "notes.txt.fxs"});
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.err,
                 QString("ferrocase-cli: could not read notes.txt.fxs: wrong password\n"));
        QCOMPARE(read_file(path("notes.txt.fxs")), stored);
        QVERIFY(!fs::exists(path("notes.txt")));

        outcome = run({"--password-file", "pw-nfc", "notes.txt.fxs"});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(read_file(path("notes.txt")), plain);
        QVERIFY(fs::exists(path("notes.txt.fxs")));
    }

    // A line held back in a buffer is lost when the run is interrupted.
    // The refusal comes before the password hash; --force lets the file be replaced.
    void anExistingStrongFileIsKeptUnlessForced_data() {
        QTest::addColumn<bool>("force");
        QTest::newRow("kept") << false;
        QTest::newRow("--force") << true;
    }
    void anExistingStrongFileIsKeptUnlessForced() {
        QFETCH(bool, force);
        write_file(path("notes.txt"), random_bytes(100, 3));
        const Bytes older = random_bytes(80, 4);
        write_file(path("notes.txt.fxs"), older);
        QStringList arguments{"--strong", "--password-file", "pw", "notes.txt"};
        if (force) {
            arguments.prepend("--force");
        }
        const Outcome outcome = run(arguments);
        QCOMPARE(outcome.exitCode, force ? 0 : 1);
        QCOMPARE(read_file(path("notes.txt.fxs")) == older, !force);
        QCOMPARE(outcome.err, force ? QString()
                                    : QString("ferrocase-cli: could not replace "
                                              "notes.txt.fxs: a different file of "
                                              "that name exists, and is kept\n"));
    }

    void eachLineIsFlushedWhenItsFileIsDone() {
        write_file(path("a"), random_bytes(10, 7));
        write_file(path("b"), random_bytes(10, 8));
        cli::CliOptions options;
        options.files = {path("a").string(), path("missing").string(), path("b").string()};
        FlushRecorder out;
        FlushRecorder err;
        std::ostream out_stream(&out);
        std::ostream err_stream(&err);
        const cli::StopSignals no_signal;
        QCOMPARE(cli::run_files(options, "s3cret", {}, local_file_system(), path("state"),
                                out_stream, err_stream, nullptr, no_signal),
                 1);
        const std::string a = "encrypted  " + options.files[0] + "\n";
        const std::string b = "encrypted  " + options.files[2] + "\n";
        QCOMPARE(out.flushed, (std::vector<std::string>{a, a + b}));
        QCOMPARE(err.flushed.size(), std::size_t{1});
        QVERIFY(err.flushed[0].starts_with("ferrocase-cli: could not open "));
    }

    void deletingThroughALinkRemovesOnlyTheLink() {
        const Bytes plain = random_bytes(300, 9);
        write_file(path("notes"), plain);
        QCOMPARE(run({"--password-file", "pw", "notes"}).exitCode, 0);
        fs::create_directory(path("store"));
        fs::rename(path("notes"), path("store/notes.fxe"));
        const Bytes cipher = read_file(path("store/notes.fxe"));
        fs::permissions(path("store/notes.fxe"), fs::perms::owner_read);
        fs::create_symlink("store/notes.fxe", path("notes.fxe"));

        const Outcome outcome = run({"--password-file", "pw", "--delete-originals", "notes.fxe"});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(
            outcome.out,
            QString("decrypted  notes.fxe -> notes; link deleted, not the file it points to\n"));
        QCOMPARE(read_file(path("notes")), plain);
        QVERIFY(!fs::is_symlink(path("notes.fxe")));
        QCOMPARE(read_file(path("store/notes.fxe")), cipher);
        QCOMPARE(fs::status(path("store/notes.fxe")).permissions(), fs::perms::owner_read);
    }

    void informationOptions_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("shown");
        const QString version = QString("ferrocase-cli %1\n").arg(ferrocase::version);
        QTest::addRow("--help") << "--help"
                                << "  -V, --version ";
        QTest::addRow("-h") << "-h"
                            << "  -h, --help ";
        QTest::addRow("--version") << "--version" << version;
        QTest::addRow("-V") << "-V" << version;
    }

    void informationOptions() {
        QFETCH(QString, option);
        QFETCH(QString, shown);
        const Outcome outcome = run({option});
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY2(outcome.out.contains(shown), qPrintable(outcome.out));
        QVERIFY(outcome.err.isEmpty());
        for (const QString& line : outcome.out.split('\n')) {
            QVERIFY2(line.size() <= 80, qPrintable(line)); // a terminal's width
        }
    }

    void usageErrorsGoToStandardError() {
        const Outcome outcome = run({});
        QCOMPARE(outcome.exitCode, 2);
        QVERIFY(outcome.out.isEmpty());
        QVERIFY(outcome.err.contains("no files given"));
    }

    // On a terminal the password is asked for without echo; Ctrl-C there must not leave the
    // terminal without echo.
    void interruptedPromptRestoresEcho_data() {
        QTest::addColumn<bool>("passwordFileDash");
        QTest::addRow("no password file") << false;
        QTest::addRow("password file - on a terminal") << true;
    }

    void interruptedPromptRestoresEcho() {
        QFETCH(bool, passwordFileDash);
        write_file(path("f"), random_bytes(10, 10));
        int master = -1;
        int terminal = -1;
        QCOMPARE(::openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
        const std::string directory = folder.path().toStdString();
        const pid_t child = ::fork();
        if (child == 0) {
            ::setsid();
            ::ioctl(terminal, TIOCSCTTY, 0);
            for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
                ::dup2(terminal, stream);
            }
            if (::chdir(directory.c_str()) == 0) {
                passwordFileDash ? ::execl(FERROCASE_CLI_PATH, "ferrocase-cli", "--password-file",
                                           "-", "f", nullptr)
                                 : ::execl(FERROCASE_CLI_PATH, "ferrocase-cli", "f", nullptr);
            }
            ::_exit(127);
        }
        QVERIFY(child > 0);
        termios settings{};
        QTRY_VERIFY_WITH_TIMEOUT(
            ::tcgetattr(terminal, &settings) == 0 && !(settings.c_lflag & ECHO), 20000);
        QCOMPARE(::write(master, "half\x03", 5), ssize_t{5}); // Ctrl-C in the middle of typing

        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
        QCOMPARE(::tcgetattr(terminal, &settings), 0);
        QVERIFY(settings.c_lflag & ECHO);
        ::close(master);
        ::close(terminal);
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
