#include "tests/support/file_helpers.h"
#include "tests/support/stored_format.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace ferrocase::testing;
namespace fs = std::filesystem;

// ferrocase-cli as a user meets it: signalled, killed, handed one file twice, or racing another
// run for a file.
class CliInterruptionTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    const std::string password = "s3cret";

    fs::path path(const QString& name) const { return folder.filePath(name).toStdString(); }
    fs::path journal_folder() const { return path("state") / "ferrocase" / "unfinished"; }

    void start(QProcess& process, const QStringList& files) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_STATE_HOME", folder.filePath("state"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder.path());
        process.start(FERROCASE_CLI_PATH, QStringList{"--password-file", "pw"} + files);
        QVERIFY(process.waitForStarted());
    }

    struct Outcome {
        int exitCode = -1;
        QString out;
        QString err;
    };

    Outcome finish(QProcess& process) {
        if (!process.waitForFinished(120000)) {
            return {};
        }
        return {process.exitStatus() == QProcess::CrashExit ? 128 + SIGKILL : process.exitCode(),
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    Outcome run(const QStringList& files) {
        QProcess process;
        start(process, files);
        return finish(process);
    }

    // Stops the program once it has begun to record its first encryption: the record holds
    // more than its first sector, which only marks it as a record.
    bool pause_when_recording(QProcess& process) {
        for (int attempt = 0; attempt < 2000000; ++attempt) {
            std::error_code error;
            for (const auto& entry : fs::directory_iterator(journal_folder(), error)) {
                if (entry.file_size(error) > 512 && !error) {
                    return ::kill(static_cast<pid_t>(process.processId()), SIGSTOP) == 0;
                }
            }
            if (process.state() == QProcess::NotRunning) {
                return false;
            }
        }
        return false;
    }

    // Stops the program once its password hash holds more than 100 MiB: the hash is under way.
    bool pause_when_hashing(QProcess& process) {
        const QString status = QString("/proc/%1/status").arg(process.processId());
        for (int attempt = 0; attempt < 2000000; ++attempt) {
            QFile file(status);
            if (!file.open(QIODevice::ReadOnly)) {
                return false;
            }
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (line.startsWith("VmRSS:") &&
                    line.mid(6).trimmed().split(' ')[0].toLongLong() > 100 * 1024) {
                    return ::kill(static_cast<pid_t>(process.processId()), SIGSTOP) == 0;
                }
            }
        }
        return false;
    }

private slots:
    void init() {
        QVERIFY(folder.isValid());
        write_file(path("pw"), Bytes(password.begin(), password.end()));
    }

    void cleanup() { fs::remove_all(path("state")); }

    // The first signal finishes the file under way, starts no other, and the exit status names
    // the signal; a kill leaves the file for a rerun to finish. Running the same files again
    // then encrypts each exactly once.
    void signalledPartWayThroughALargeFile_data() {
        QTest::addColumn<int>("signal");
        QTest::addRow("SIGINT") << SIGINT;
        QTest::addRow("SIGTERM") << SIGTERM;
        QTest::addRow("SIGHUP") << SIGHUP;
        QTest::addRow("SIGKILL") << SIGKILL;
    }

    void signalledPartWayThroughALargeFile() {
        QFETCH(int, signal);
        const Bytes large = random_bytes(40 << 20, 1);
        const Bytes small = random_bytes(5000, 2);
        write_file(path("large"), large);
        write_file(path("small"), small);

        QProcess process;
        start(process, {"large", "small"});
        QVERIFY(pause_when_recording(process));
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ::kill(static_cast<pid_t>(process.processId()), SIGCONT);
        const Outcome outcome = finish(process);

        QCOMPARE(outcome.exitCode, 128 + signal);
        QCOMPARE(read_file(path("small")), small);
        const Outcome rerun = run({"large", "small"});
        QCOMPARE(rerun.exitCode, 0);
        if (signal == SIGKILL) {
            QVERIFY2(rerun.out.startsWith("encrypted  large (finished an interrupted encryption)"),
                     qPrintable(rerun.out));
        } else {
            QCOMPARE(outcome.out, QString("encrypted  large\n"));
            QVERIFY2(outcome.err.contains("1 file was not started"), qPrintable(outcome.err));
            QVERIFY2(rerun.out.startsWith("skipped    large: already encrypted by the interrupted "
                                          "run; run again to undo it\n"),
                     qPrintable(rerun.out));
        }
        QVERIFY(read_file(path("large")) == protect(large, password, 1));
        QVERIFY(read_file(path("small")) == protect(small, password, 1));
        QVERIFY(fs::is_empty(journal_folder()));
    }

    // A second signal drops a strong file at once, even in the password hash: nothing is
    // written and the status names the first signal. (Two of the same kind would merge while
    // the program is stopped, so the second is SIGTERM.)
    void aSecondSignalStopsTheHashOfAStrongFile() {
        const Bytes plain = random_bytes(5000, 5);
        write_file(path("notes"), plain);
        QProcess process;
        start(process, {"--strong", "notes"});
        QVERIFY(pause_when_hashing(process));
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        ::kill(static_cast<pid_t>(process.processId()), SIGCONT);
        const Outcome outcome = finish(process);

        QCOMPARE(outcome.exitCode, 128 + SIGINT);
        QVERIFY2(outcome.err.contains("stopped part-way through notes"), qPrintable(outcome.err));
        QCOMPARE(read_file(path("notes")), plain);
        const auto listing = folder_listing(path(""));
        QCOMPARE(std::count_if(listing.begin(), listing.end(),
                               [](const std::string& name) { return name.starts_with("notes"); }),
                 1);
    }

    // Every name of one file reaches the same bytes: the file is encrypted once, and the other
    // names are reported as skipped.
    void oneFileUnderSeveralNames() {
        const Bytes plain = random_bytes(20000, 3);
        write_file(path("f"), plain);
        fs::create_symlink("f", path("link"));
        fs::create_hard_link(path("f"), path("hard"));

        const Outcome outcome = run({"f", "./f", "link", "hard"});

        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.out, QString("encrypted  f\n"));
        QCOMPARE(outcome.err.count("the same file as f"), 3);
        QCOMPARE(read_file(path("f")), protect(plain, password, 1));
    }

    void aFileAnotherRunHoldsIsRefused() {
        const Bytes plain = random_bytes(20000, 4);
        write_file(path("held"), plain);
        const int descriptor = ::open(path("held").c_str(), O_RDONLY | O_CLOEXEC);
        QVERIFY(descriptor >= 0);
        QCOMPARE(::flock(descriptor, LOCK_EX | LOCK_NB), 0);

        const Outcome outcome = run({"held"});
        ::close(descriptor);

        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(outcome.err.contains("in use by another run"), qPrintable(outcome.err));
        QCOMPARE(read_file(path("held")), plain);
    }
};

QTEST_GUILESS_MAIN(CliInterruptionTest)
#include "tst_cli_interruption.moc"
