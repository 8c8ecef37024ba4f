#include "cli/cli_run.h"
#include "cli/shown_name.h"
#include "file_system/temporary_name.h"
#include "tests/support/file_helpers.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

// Which files a run takes, how their names are printed, and how bash completes its options.
class CliFilesTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;

    fs::path path(const std::string& name) const {
        return fs::path(folder.path().toStdString()) / name;
    }

    QProcess* start(const QStringList& arguments) {
        auto* process = new QProcess(this);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_STATE_HOME", QString::fromStdString(path("tree/state")));
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(folder.path());
        process->start(FERROCASE_CLI_PATH, QStringList{"--password-file", "pw"} + arguments);
        return process;
    }

private slots:
    void init() {
        QVERIFY(folder.isValid());
        write_file(path("pw"), Bytes{'p', 'w', '\n'});
    }

    void namesAreShownOnOneLine_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");
        QTest::addRow("plain, spaces and all") << QByteArray("my notes.txt") << "my notes.txt";
        QTest::addRow("UTF-8 letters") << QByteArray("caf\xC3\xA9") << "caf\u00E9";
        QTest::addRow("a newline") << QByteArray("a\nencrypted  b") << "'a'$'\\n''encrypted  b'";
        QTest::addRow("an escape sequence") << QByteArray("\x1B[2Jx") << "$'\\033''[2Jx'";
        QTest::addRow("a C1 control character") << QByteArray("x\xC2\x9B") << "'x'$'\\302\\233'";
        QTest::addRow("bytes that are not UTF-8") << QByteArray("\xFF\xC3(") << "$'\\377\\303''('";
        QTest::addRow("an overlong slash") << QByteArray("\xC0\xAF") << "$'\\300\\257'";
        QTest::addRow("a quote beside a tab") << QByteArray("it's\t") << "'it'\\''s'$'\\t'";
    }

    void namesAreShownOnOneLine() {
        QFETCH(QByteArray, name);
        QFETCH(QString, shown);
        QCOMPARE(QString::fromStdString(cli::shown_name(name.toStdString())), shown);
    }

    // Nested folders in name order; a link to a folder, the program's own temporary and state
    // files are not taken; a second name of the same file is skipped as a repeat.
    void recursiveRunTakesEveryRegularFileBelowOnce() {
        for (const char* name : {"tree/b/z", "tree/b/a/deep", "tree/a",
                                 "tree/state/ferrocase/"
                                 "unfinished/1.journal",
                                 "elsewhere/outside"}) {
            fs::create_directories(path(name).parent_path());
            write_file(path(name), random_bytes(100, 1));
        }
        // A record of a run that stopped before it recorded anything.
        write_file(path("tree/state/ferrocase/unfinished/1.journal"),
                   Bytes{'F', 'X', 'J', 'R', 'N', 'L', '0', '1'});
        const fs::path temporary = path("tree/b") / temporary_name(path("tree/b/z"));
        write_file(temporary, random_bytes(10, 2));
        fs::create_directory_symlink("../elsewhere", path("tree/link"));
        fs::create_hard_link(path("tree/a"), path("tree/b/same"));
        const Bytes outside = read_file(path("elsewhere/outside"));

        QProcess* process = start({"-r", "tree"});
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitCode(), 1);
        QCOMPARE(QString(process->readAllStandardOutput()),
                 "encrypted  tree/a\nencrypted  tree/b/a/deep\nencrypted  tree/b/z\n");
        QCOMPARE(QString(process->readAllStandardError()),
                 "ferrocase-cli: skipped tree/b/same: the same file as tree/a\n");
        QCOMPARE(read_file(path("elsewhere/outside")), outside);
        QCOMPARE(read_file(temporary), random_bytes(10, 2));
    }

    // Failures still reach standard error; output that cannot be written fails the run.
    void quietAndUnwritableOutput_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("toFullDevice");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::addRow("quiet, grouped with -r")
            << QStringList{"-rq", "f", "missing"} << false << 1
            << "ferrocase-cli: could not open missing: No such file or "
               "directory\n";
        QTest::addRow("quiet, nothing to write") << QStringList{"--quiet", "f"} << true << 0 << "";
        QTest::addRow("a full device")
            << QStringList{"f"} << true << 1
            << "ferrocase-cli: could not write to standard output: No space left on device\n";
    }

    void quietAndUnwritableOutput() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, toFullDevice);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        write_file(path("f"), random_bytes(10, 3));
        QProcess process;
        if (toFullDevice) {
            process.setStandardOutputFile("/dev/full");
        }
        process.setWorkingDirectory(folder.path());
        process.start(FERROCASE_CLI_PATH, QStringList{"--password-file", "pw"} + arguments);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), exitCode);
        QCOMPARE(QString(process.readAllStandardError()), err);
        QCOMPARE(process.readAllStandardOutput(), QByteArray());
        QVERIFY(read_file(path("f")) != random_bytes(10, 3));
    }

    // bash offers every option that --help shows, and the levels after --skip.
    void bashCompletesTheOptions() {
        const auto offered = [](const QStringList& typed) {
            QProcess bash;
            bash.start("bash", QStringList{"-c",
                                           "source \"$0\"; COMP_WORDS=(ferrocase-cli \"$@\"); "
                                           "COMP_CWORD=$#; _ferrocase_cli; "
                                           "printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort",
                                           FERROCASE_COMPLETION_PATH} +
                                   typed);
            bash.waitForFinished(30000);
            return QString(bash.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        };
        QProcess help;
        help.start(FERROCASE_CLI_PATH, {"--help"});
        QVERIFY(help.waitForFinished(30000));
        QStringList options;
        for (const auto& match : QRegularExpression(R"(^  (?:(-\w), )?(--[a-z-]+))",
                                                    QRegularExpression::MultilineOption)
                                     .globalMatch(help.readAllStandardOutput())) {
            options << match.captured(2) << match.captured(1);
        }
        options.removeAll("");
        options.sort();
        QCOMPARE(offered({"-"}), options);
        QCOMPARE(offered({"--skip", ""}), (QStringList{"0", "1", "2", "3", "4"}));
    }

    void passwordIsAskedOnceOnlyForStrongDecryptions_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("multiple");
        QTest::addColumn<bool>("once");
        QTest::addRow("strong files in any case") << QStringList{"a.fxs", "b.FXS"} << false << true;
        QTest::addRow("a .fxe or plain file among them")
            << QStringList{"a.fxs", "b.fxe", "c"} << false << false;
        QTest::addRow("--multiple still decrypts .fxs") << QStringList{"a.fxs"} << true << true;
    }

    void passwordIsAskedOnceOnlyForStrongDecryptions() {
        QFETCH(QStringList, files);
        QFETCH(bool, multiple);
        QFETCH(bool, once);
        cli::CliOptions options;
        options.allow_multiple_encryption = multiple;
        for (const QString& file : files) {
            options.files.push_back(file.toStdString());
        }
        QCOMPARE(cli::only_strong_decryptions(options), once);
    }
};

QTEST_GUILESS_MAIN(CliFilesTest)
#include "tst_cli_files.moc"
