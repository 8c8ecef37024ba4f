#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The installed tree, validated with the desktop's own tools where they are installed.
class InstallDataTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void installs_each_file_in_its_standard_place_data();
    void installs_each_file_in_its_standard_place();
    void icons_are_square_data();
    void icons_are_square();
    void the_programs_have_no_library_search_path_data();
    void the_programs_have_no_library_search_path();
    void the_menus_start_the_installed_program_with_the_files_data();
    void the_menus_start_the_installed_program_with_the_files();
    void the_desktop_entry_passes_its_validator();
    void the_metainfo_passes_its_validator();
    void the_mime_package_binds_the_glob_to_the_type();
    void open_with_offers_the_program_and_a_start_keeps_the_defaults();

private:
    QString installed(const QString& relative) const { return prefix_.filePath(relative); }
    // Runs a tool to its end; returns its exit code and fills in what it printed.
    static int
    run(const QString& tool, const QStringList& arguments, QString& output,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    // A user's desktop that has only the installed tree, the user's folders in a folder of ours.
    QProcessEnvironment desktop_environment() const;
    // What the desktop's own tool tells of a type there: the default on the first line, then the
    // applications offered for it, one a line.
    QString desktop_applications(const QString& mime_type) const;

    QTemporaryDir prefix_;
    QTemporaryDir home_;
};

int InstallDataTest::run(const QString& tool, const QStringList& arguments, QString& output,
                         const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool, arguments);
    if (!process.waitForFinished(120000)) {
        output = tool + " did not finish";
        return -1;
    }
    output = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

void InstallDataTest::initTestCase() {
    QVERIFY(prefix_.isValid());
    QString output;
    const int result = run(FERROCASE_CMAKE_COMMAND,
                           {"--install", FERROCASE_BUILD_DIR, "--prefix", prefix_.path()}, output);
    QVERIFY2(result == 0, qPrintable(output));
}

void InstallDataTest::installs_each_file_in_its_standard_place_data() {
    QTest::addColumn<QString>("file");

    QTest::addRow("the program") << "bin/ferrocase";
    QTest::addRow("the desktop entry")
        << "share/applications/io.github.ferrocase.ferrocase.desktop";
    QTest::addRow("the MIME type") << "share/mime/packages/ferrocase.xml";
    QTest::addRow("the metainfo") << "share/metainfo/io.github.ferrocase.ferrocase.metainfo.xml";
    QTest::addRow("the command-line program") << "bin/ferrocase-cli";
    QTest::addRow("the manual page of the window") << "share/man/man1/ferrocase.1.gz";
    QTest::addRow("the manual page of the command line") << "share/man/man1/ferrocase-cli.1.gz";
    QTest::addRow("the licence") << "share/doc/ferrocase/copyright";
    QTest::addRow("the extension of Files") << "share/nautilus-python/extensions/ferrocase_menu.py";
    for (const char* program : {"ferrocase", "ferrocase-cli"}) {
        QTest::addRow("the bash completion of %s", program)
            << QString("share/bash-completion/completions/") + program;
    }
}

void InstallDataTest::icons_are_square_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("size"); // 0 for the scalable one
    QTest::addRow("scalable") << "share/icons/hicolor/scalable/apps/ferrocase.svg" << 0;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QTest::addRow("%dx%d", size, size)
            << QString("share/icons/hicolor/%1x%1/apps/ferrocase.png").arg(size) << size;
    }
}

void InstallDataTest::icons_are_square() {
    QFETCH(QString, file);
    QFETCH(int, size);

    if (size > 0) {
        QCOMPARE(QImageReader(installed(file)).size(), QSize(size, size));
        return;
    }
    QFile svg(installed(file));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const auto box = QRegularExpression(R"re(viewBox="[-\d.]+ [-\d.]+ ([\d.]+) ([\d.]+)")re")
                         .match(QString::fromUtf8(svg.readAll()));
    QVERIFY(box.hasMatch());
    QCOMPARE(box.captured(1), box.captured(2));
}

void InstallDataTest::the_programs_have_no_library_search_path_data() {
    QTest::addColumn<QString>("file");
    QTest::addRow("the window") << "bin/ferrocase";
    QTest::addRow("the command line") << "bin/ferrocase-cli";
}

void InstallDataTest::the_programs_have_no_library_search_path() {
    QFETCH(QString, file);

    QString output;
    QCOMPARE(run("readelf", {"--dynamic", installed(file)}, output), 0);
    QVERIFY(output.contains("(NEEDED)"));
    QVERIFY2(!output.contains("RUNPATH") && !output.contains("RPATH"), qPrintable(output));
}

void InstallDataTest::installs_each_file_in_its_standard_place() {
    QFETCH(QString, file);

    const QFileInfo info(installed(file));
    QVERIFY2(info.isFile() && info.size() > 0, qPrintable(file));
}

void InstallDataTest::the_menus_start_the_installed_program_with_the_files_data() {
    QTest::addColumn<QString>("file");
    QTest::addRow("the desktop entry")
        << "share/applications/io.github.ferrocase.ferrocase.desktop";
    for (const char* verb : {"encrypt", "decrypt"}) {
        QTest::addRow("Dolphin's %s menu", verb)
            << QString("share/kio/servicemenus/ferrocase-%1.desktop").arg(verb);
        QTest::addRow("Nemo's %s action", verb)
            << QString("share/nemo/actions/ferrocase-%1.nemo_action").arg(verb);
    }
}

// By its full path, so that it starts when the prefix's bin folder is not on PATH. (The extension
// of Files is tested on its own.)
void InstallDataTest::the_menus_start_the_installed_program_with_the_files() {
    QFETCH(QString, file);

    QFile menu(installed(file));
    QVERIFY(menu.open(QIODevice::ReadOnly));
    QVERIFY(menu.readAll().contains("\nExec=" + installed("bin/ferrocase").toUtf8() + " -- %F\n"));
}

void InstallDataTest::the_desktop_entry_passes_its_validator() {
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty()) {
        QSKIP("desktop-file-validate is not installed");
    }
    const QString entry = installed("share/applications/io.github.ferrocase.ferrocase.desktop");
    QString output;
    QCOMPARE(run(validator, {entry}, output), 0);
    QVERIFY2(output.isEmpty(), qPrintable(output));
}

void InstallDataTest::the_metainfo_passes_its_validator() {
    const QString validator = QStandardPaths::findExecutable("appstreamcli");
    if (validator.isEmpty()) {
        QSKIP("appstreamcli is not installed");
    }
    QString output;
    const int result = run(validator,
                           {"validate", "--no-net", "--strict",
                            installed("share/metainfo/io.github.ferrocase.ferrocase.metainfo.xml")},
                           output);
    QVERIFY2(result == 0, qPrintable(output));
}

void InstallDataTest::the_mime_package_binds_the_glob_to_the_type() {
    const QString update = QStandardPaths::findExecutable("update-mime-database");
    if (update.isEmpty()) {
        QSKIP("update-mime-database is not installed");
    }
    QString output;
    QCOMPARE(run(update, {installed("share/mime")}, output), 0);

    QFile globs(installed("share/mime/globs2"));
    QVERIFY(globs.open(QIODevice::ReadOnly));
    const QByteArray globs_text = globs.readAll();
    QVERIFY(globs_text.contains(":application/x-ferrocase:*.fxe\n"));
    QVERIFY(globs_text.contains(":application/x-ferrocase-strong:*.fxs\n"));
    // The magic bytes name the type of a strong file whatever its name.
    QFile magic(installed("share/mime/magic"));
    QVERIFY(magic.open(QIODevice::ReadOnly));
    const QByteArray magic_text = magic.readAll();
    QVERIFY(magic_text.contains("[50:application/x-ferrocase-strong]\n>0="));
    QVERIFY(magic_text.contains("\x04\x89"
                                "FXS"));
}

QProcessEnvironment InstallDataTest::desktop_environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_DIRS", installed("share"));
    environment.insert("XDG_DATA_HOME", home_.filePath("data"));
    environment.insert("XDG_CONFIG_HOME", home_.filePath("config"));
    environment.insert("XDG_CONFIG_DIRS", home_.filePath("system-config"));
    environment.insert("XDG_RUNTIME_DIR", home_.filePath("runtime"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    return environment;
}

QString InstallDataTest::desktop_applications(const QString& mime_type) const {
    QString output;
    run("gio", {"mime", mime_type}, output, desktop_environment());
    return output;
}

// Installed with its MIME types, the program is among those offered for any file and any folder;
// a start then registers its own types for the user, and no other.
void InstallDataTest::open_with_offers_the_program_and_a_start_keeps_the_defaults() {
    const QString update = QStandardPaths::findExecutable("update-desktop-database");
    if (update.isEmpty() || QStandardPaths::findExecutable("gio").isEmpty()) {
        QSKIP("GLib's gio or update-desktop-database is not installed");
    }
    QString output;
    // As the package's installation does.
    QCOMPARE(run(update, {installed("share/applications")}, output), 0);
    QVERIFY(home_.isValid() && QDir(home_.path()).mkdir("runtime"));
    QFile::setPermissions(home_.filePath("runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const QStringList generic_types{"text/plain", "inode/directory", "application/octet-stream"};
    const auto defaults = [&] {
        QStringList found;
        for (const QString& type : generic_types) {
            found << desktop_applications(type).section('\n', 0, 0);
        }
        return found;
    };
    for (const QString& type : generic_types) {
        const QString offered = desktop_applications(type);
        QVERIFY2(offered.contains("\tio.github.ferrocase.ferrocase.desktop\n"),
                 qPrintable(offered));
    }
    const QStringList before = defaults();

    QProcess program;
    program.setProcessEnvironment(desktop_environment());
    program.start(installed("bin/ferrocase"), {});
    QTRY_VERIFY_WITH_TIMEOUT(desktop_applications("application/x-ferrocase")
                                 .section('\n', 0, 0)
                                 .endsWith(": Ferrocase.desktop"),
                             20000);
    program.terminate();
    QVERIFY(program.waitForFinished(20000));

    QCOMPARE(defaults(), before);
}

QTEST_GUILESS_MAIN(InstallDataTest)
#include "tst_install_data.moc"
