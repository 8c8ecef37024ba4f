#include "cli/cli_options.h"
#include "tests/support/file_helpers.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

namespace {

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

    Outcome run(const QStringList& arguments, const QByteArray& input = {}) {
        QProcess process;
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
        QTest::addColumn<QString>("message");
        QTest::addRow("empty") << QByteArray("\n") << "no password provided";
        QTest::addRow("no code in Windows-1252")
            << QByteArray("p\xE2\x82\xBF\n") << "has no code in Windows-1252";
        QTest::addRow("longer than the key cursor can count") << QByteArray(32767, 'k') + '\n'
                                                              << "longer than 32766 characters";
    }

    void refusalsAreUsageErrors() {
        QFETCH(QByteArray, password);
        QFETCH(QString, message);
        const Bytes plain = random_bytes(100, 1);
        write_file(path("f"), plain);
        const Outcome outcome = run({"--password-file", "-", "f"}, password);
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

    void byteOrderMarkIsNotPartOfThePassword() {
        const Bytes plain = random_bytes(700, 6);
        write_file(path("bom.txt"), plain);
        write_file(path("pw-bom"),
                   Bytes{0xEF, 0xBB, 0xBF, 's', '3', 'c', 'r', 'e', 't', '\r', '\n'});
        QCOMPARE(run({"--password-file", "pw-bom", "bom.txt"}).exitCode, 0);
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
        const QStringList lines = outcome.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith("failed     could not open missing"));
        QVERIFY(lines[1].startsWith("failed     could not open folder.fxe: not a regular file"));
        QVERIFY(lines[2].startsWith("failed     could not replace dest"));
        QCOMPARE(lines[3], QString("encrypted  good"));
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
        QCOMPARE(outcome.out, QString("failed     could not read notes.txt.fxs: wrong password, "
                                      "or the file is damaged\n"));
        QCOMPARE(read_file(path("notes.txt.fxs")), stored);
        QVERIFY(!fs::exists(path("notes.txt")));

        outcome = run({"--password-file", "pw-nfc", "notes.txt.fxs"});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(read_file(path("notes.txt")), plain);
        QVERIFY(fs::exists(path("notes.txt.fxs")));
    }

    void helpAndUsageErrors() {
        Outcome outcome = run({"--help"});
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY(outcome.out.contains("--password-file PATH"));
        outcome = run({});
        QCOMPARE(outcome.exitCode, 2);
        QVERIFY(outcome.err.contains("no files given"));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
