#include "shell/file_association.h"
#include "shell/freedesktop_file_type_registry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace ferrocase;

namespace {

QByteArray read_file(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write_file(const QString& path, const QByteArray& content) {
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Runs a tool to the end and returns what it printed.
QString run(const QString& tool, const QStringList& arguments, const QProcessEnvironment& env) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(tool, arguments);
    if (!process.waitForFinished(30000)) {
        return "did not finish: " + tool;
    }
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

} // namespace

class FreedesktopRegistryTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void writes_a_mime_type_a_desktop_entry_and_the_default();
    void the_desktop_entry_passes_the_validator_data();
    void the_desktop_entry_passes_the_validator();
    void other_entries_of_the_users_files_stay();
    void a_second_start_changes_no_file_and_refreshes_nothing();
    void a_file_that_cannot_be_read_is_left_alone_data();
    void a_file_that_cannot_be_read_is_left_alone();
    void the_mime_cache_is_rebuilt_when_missing_or_older_data();
    void the_mime_cache_is_rebuilt_when_missing_or_older();
    void the_desktop_starts_the_program_from_any_folder_data();
    void the_desktop_starts_the_program_from_any_folder();
    void a_write_that_fails_changes_nothing_data();
    void a_write_that_fails_changes_nothing();
    void the_desktop_registry_writes_under_xdg_data_home();
    void gio_reports_the_type_and_its_default_application();

private:
    FreedesktopFileTypeRegistry make_registry(FreedesktopFileTypeRegistry::ReadFile read = {});
    QString data(const QString& relative) const { return home_->filePath("data/" + relative); }
    QString config(const QString& relative) const { return home_->filePath("config/" + relative); }

    std::unique_ptr<QTemporaryDir> home_;
    QList<QStringList> started_tools_;
};

void FreedesktopRegistryTest::init() {
    home_ = std::make_unique<QTemporaryDir>();
    QVERIFY(home_->isValid());
    started_tools_.clear();
}

// The tools are not run; the MIME tool's cache is made as it would make it.
FreedesktopFileTypeRegistry
FreedesktopRegistryTest::make_registry(FreedesktopFileTypeRegistry::ReadFile read) {
    return FreedesktopFileTypeRegistry(
        {data("").toStdString(), config("").toStdString()},
        [this](const QString& tool, const QStringList& arguments) {
            started_tools_ << (QStringList{tool} + arguments);
            if (tool == "update-mime-database") {
                write_file(data("mime/mime.cache"), "cache");
            }
        },
        std::move(read));
}

void FreedesktopRegistryTest::writes_a_mime_type_a_desktop_entry_and_the_default() {
    auto registry = make_registry();
    associate_file(registry, "/opt/ferrocase/bin/ferrocase");

    const QByteArray entry = read_file(data("applications/Ferrocase.desktop"));
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    QVERIFY(entry.contains("\nType=Application\n"));
    QVERIFY(entry.contains("\nNoDisplay=true\n"));
    QVERIFY(entry.contains("\nName=Ferrocase\n"));
    QVERIFY(entry.contains("\nMimeType=application/x-ferrocase;\n"));
    QVERIFY(entry.contains("\nExec=/opt/ferrocase/bin/ferrocase shell in=%f\n"));

    const QByteArray package = read_file(data("mime/packages/ferrocase-fxe.xml"));
    QVERIFY(package.contains(R"(<mime-type type="application/x-ferrocase">)"));
    QVERIFY(package.contains(R"(<glob pattern="*.fxe"/>)"));

    const QByteArray strong_package = read_file(data("mime/packages/ferrocase-strong-fxs.xml"));
    QVERIFY(strong_package.contains(R"(<mime-type type="application/x-ferrocase-strong">)"));
    QVERIFY(strong_package.contains(R"(<glob pattern="*.fxs"/>)"));
    QVERIFY(strong_package.contains(R"(<match type="string" offset="0" value="\x89FXS"/>)"));
    const QByteArray strong_entry = read_file(data("applications/Ferrocase-Strong.desktop"));
    QVERIFY(strong_entry.contains("\nExec=/opt/ferrocase/bin/ferrocase shell in=%f\n"));
    QVERIFY(strong_entry.contains("\nIcon=ferrocase\n"));

    QCOMPARE(read_file(config("mimeapps.list")),
             "[Default Applications]\napplication/x-ferrocase=Ferrocase.desktop\n"
             "application/x-ferrocase-strong=Ferrocase-Strong.desktop\n");

    QTRY_COMPARE(started_tools_.size(), 2);
    QVERIFY(started_tools_.contains(QStringList{"update-mime-database", data("mime")}));
    QVERIFY(started_tools_.contains(QStringList{"update-desktop-database", data("applications")}));
}

void FreedesktopRegistryTest::the_desktop_entry_passes_the_validator_data() {
    QTest::addColumn<QString>("executable");

    QTest::addRow("installed on the PATH") << "ferrocase";
    QTest::addRow("in a build folder") << "/work/build/app/ferrocase";
    QTest::addRow("in a folder with blanks and a dollar") << "/home/ann/My $Apps/ferrocase";
    QTest::addRow("in a folder with quotes and backslashes")
        << R"(/home/ann/"Quoted" \Apps\/ferrocase)";
}

void FreedesktopRegistryTest::the_desktop_entry_passes_the_validator() {
    QFETCH(QString, executable);
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty()) {
        QSKIP("desktop-file-validate is not installed");
    }
    auto registry = make_registry();
    associate_file(registry, executable.toStdString());

    QProcess process;
    process.start(validator, {data("applications/Ferrocase.desktop")});
    QVERIFY(process.waitForFinished(30000));
    const QString output = QString::fromUtf8(process.readAll());
    QVERIFY2(process.exitCode() == 0 && output.isEmpty(), qPrintable(output));
}

void FreedesktopRegistryTest::other_entries_of_the_users_files_stay() {
    const QByteArray other_defaults =
        "# my choices\n[Default Applications]\n"
        "text/plain=gedit.desktop\n"
        "application/x-ferrocase=Old.desktop\n"
        "image/png=eog.desktop\n\n"
        "[Added Associations]\napplication/x-ferrocase=Old.desktop;\n";
    write_file(config("mimeapps.list"), other_defaults);
    write_file(data("applications/Ferrocase.desktop"),
               "[Desktop Entry]\nType=Application\nName=Old\nComment=Kept\n"
               "MimeType=text/x-other;\nExec=old\n\n[Desktop Action New]\nName=New\nExec=new\n");
    write_file(data("applications/gedit.desktop"), "[Desktop Entry]\nName=Gedit\n");

    auto registry = make_registry();
    associate_file(registry, "ferrocase");

    // Another program's default stands; the strong type, which had none, gets ours.
    QCOMPARE(read_file(config("mimeapps.list")),
             QByteArray(other_defaults)
                 .replace("eog.desktop\n",
                          "eog.desktop\n"
                          "application/x-ferrocase-strong=Ferrocase-Strong.desktop\n"));
    QCOMPARE(read_file(data("applications/Ferrocase.desktop")),
             "[Desktop Entry]\nType=Application\nName=Ferrocase\nComment=Kept\n"
             "MimeType=text/x-other;application/x-ferrocase;\nExec=ferrocase shell in=%f\n\n"
             "[Desktop Action New]\nName=New\nExec=new\n");
    QCOMPARE(read_file(data("applications/gedit.desktop")), "[Desktop Entry]\nName=Gedit\n");
}

void FreedesktopRegistryTest::a_second_start_changes_no_file_and_refreshes_nothing() {
    {
        auto first = make_registry();
        associate_file(first, "ferrocase");
        QTRY_COMPARE(started_tools_.size(), 2);
    }
    const QStringList files{data("applications/Ferrocase.desktop"),
                            data("mime/packages/ferrocase-fxe.xml"), config("mimeapps.list")};
    QList<QDateTime> written;
    for (const QString& file : files) {
        written << QFileInfo(file).lastModified();
    }
    started_tools_.clear();

    auto second = make_registry();
    associate_file(second, "ferrocase");
    QTest::qWait(50);

    QVERIFY(started_tools_.isEmpty());
    for (int i = 0; i < files.size(); ++i) {
        QCOMPARE(QFileInfo(files[i]).lastModified(), written[i]);
    }
}

void FreedesktopRegistryTest::a_file_that_cannot_be_read_is_left_alone_data() {
    QTest::addColumn<QString>("unreadable");

    QTest::addRow("mimeapps.list") << "config/mimeapps.list";
    QTest::addRow("the desktop entry") << "data/applications/Ferrocase.desktop";
    QTest::addRow("the MIME package") << "data/mime/packages/ferrocase-fxe.xml";
}

// Tests run as root, who may read anything: the read failure is injected.
void FreedesktopRegistryTest::a_file_that_cannot_be_read_is_left_alone() {
    QFETCH(QString, unreadable);
    const QString users_own = "[Default Applications]\ntext/plain=gedit.desktop\n";
    write_file(home_->filePath(unreadable), users_own.toUtf8());
    const std::filesystem::path failing = home_->filePath(unreadable).toStdString();

    auto registry = make_registry([&failing](const std::filesystem::path& file) {
        return file == failing
                   ? std::nullopt
                   : std::optional(read_file(QString::fromStdString(file.string())).toStdString());
    });
    associate_file(registry, "ferrocase");

    QCOMPARE(read_file(home_->filePath(unreadable)), users_own.toUtf8());
    const QList<std::pair<QString, QByteArray>> written{
        {"config/mimeapps.list", "application/x-ferrocase=Ferrocase.desktop"},
        {"data/applications/Ferrocase.desktop", "Exec=ferrocase shell in=%f"},
        {"data/mime/packages/ferrocase-fxe.xml", R"(<glob pattern="*.fxe"/>)"}};
    for (const auto& [file, content] : written) {
        if (file != unreadable) {
            QVERIFY2(read_file(home_->filePath(file)).contains(content), qPrintable(file));
        }
    }
}

void FreedesktopRegistryTest::the_mime_cache_is_rebuilt_when_missing_or_older_data() {
    QTest::addColumn<int>("cache_age"); // seconds before the package; 0: no cache
    QTest::addColumn<bool>("rebuilt");

    QTest::addRow("no cache") << 0 << true;
    QTest::addRow("a cache older than the package") << 60 << true;
    QTest::addRow("a cache newer than the package") << -60 << false;
}

void FreedesktopRegistryTest::the_mime_cache_is_rebuilt_when_missing_or_older() {
    QFETCH(int, cache_age);
    QFETCH(bool, rebuilt);
    {
        auto first = make_registry();
        associate_file(first, "ferrocase");
        QTRY_COMPARE(started_tools_.size(), 2);
    }
    const std::filesystem::path cache = data("mime/mime.cache").toStdString();
    const auto package =
        std::filesystem::last_write_time(data("mime/packages/ferrocase-fxe.xml").toStdString());
    if (cache_age == 0) {
        std::filesystem::remove(cache);
    } else {
        std::filesystem::last_write_time(cache, package - std::chrono::seconds(cache_age));
    }
    started_tools_.clear();

    auto second = make_registry();
    associate_file(second, "ferrocase");
    QTest::qWait(50);

    const QList<QStringList> expected{{"update-mime-database", data("mime")}};
    QCOMPARE(started_tools_, rebuilt ? expected : QList<QStringList>{});
}

void FreedesktopRegistryTest::the_desktop_starts_the_program_from_any_folder_data() {
    QTest::addColumn<QString>("folder");

    QTest::addRow("blanks") << "My Apps";
    QTest::addRow("double quotes and backslashes") << R"(say "hi" \ a\"b\)";
    QTest::addRow("characters a shell would act on") << "$HOME `x` 'q' ;&|<>*?#()~=";
    QTest::addRow("a letter beyond ASCII") << "Programme sûrs";
}

// GLib reads the Exec line back and starts the program; a stand-in records its arguments.
void FreedesktopRegistryTest::the_desktop_starts_the_program_from_any_folder() {
    QFETCH(QString, folder);
    const QString gio = QStandardPaths::findExecutable("gio");
    if (gio.isEmpty()) {
        QSKIP("GLib's gio is not installed");
    }
    const QString program = home_->filePath("bin/" + folder + "/ferrocase");
    const QString arguments = home_->filePath("arguments");
    write_file(program, ("#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + arguments + "'\n").toUtf8());
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
    auto registry = make_registry();
    associate_file(registry, program.toStdString());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", data(""));
    const QString document = home_->filePath("Report.fxe");
    run(gio, {"launch", data("applications/Ferrocase.desktop"), document}, env);

    QTRY_COMPARE(read_file(arguments), ("shell\nin=" + document + '\n').toUtf8());
}

void FreedesktopRegistryTest::a_write_that_fails_changes_nothing_data() {
    QTest::addColumn<QString>("blocked");

    QTest::addRow("the applications folder is a file") << "data/applications";
    QTest::addRow("the desktop entry is a folder") << "data/applications/Ferrocase.desktop";
    QTest::addRow("the MIME folder is a file") << "data/mime";
    QTest::addRow("the config folder is a file") << "config";
}

// Root may write anywhere, so the writes are made to fail by a file standing where a folder must
// be, or a folder where a file must be.
void FreedesktopRegistryTest::a_write_that_fails_changes_nothing() {
    QFETCH(QString, blocked);
    const QString blocker = home_->filePath(blocked);
    if (blocked.endsWith(".desktop")) {
        QVERIFY(QDir().mkpath(blocker));
    } else {
        write_file(blocker, "not a folder");
    }

    auto registry = make_registry();
    associate_file(registry, "ferrocase");

    const QFileInfo after(blocker);
    if (blocked.endsWith(".desktop")) {
        QVERIFY(after.isDir());
        QVERIFY(QDir(blocker).isEmpty());
    } else {
        QCOMPARE(read_file(blocker), "not a folder");
    }
    // What the blocker does not stand in the way of is still written.
    if (!blocked.startsWith("data/applications")) {
        QVERIFY(read_file(data("applications/Ferrocase.desktop")).contains("Exec="));
    }
    if (blocked != "config") {
        QVERIFY(read_file(config("mimeapps.list")).contains("application/x-ferrocase"));
    }
}

void FreedesktopRegistryTest::the_desktop_registry_writes_under_xdg_data_home() {
    const QByteArray previous_data = qgetenv("XDG_DATA_HOME");
    const QByteArray previous_config = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_DATA_HOME", data("").toUtf8());
    qputenv("XDG_CONFIG_HOME", config("").toUtf8());

    associate_file(*make_desktop_file_type_registry(), "ferrocase");

    for (const auto& [name, previous] : {std::pair{"XDG_DATA_HOME", previous_data},
                                         std::pair{"XDG_CONFIG_HOME", previous_config}}) {
        if (previous.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, previous);
        }
    }
    QVERIFY(read_file(data("applications/Ferrocase.desktop")).contains("Exec=ferrocase shell"));
    QVERIFY(QFile::exists(data("mime/packages/ferrocase-fxe.xml")));
    QVERIFY(read_file(config("mimeapps.list")).contains("Ferrocase.desktop"));
}

void FreedesktopRegistryTest::gio_reports_the_type_and_its_default_application() {
    const QString gio = QStandardPaths::findExecutable("gio");
    const QString update = QStandardPaths::findExecutable("update-mime-database");
    if (gio.isEmpty() || update.isEmpty()) {
        QSKIP("GLib's gio or update-mime-database is not installed");
    }
    // GLib passes over a desktop entry whose program it cannot find.
    auto registry = make_registry();
    associate_file(registry, QCoreApplication::applicationFilePath().toStdString());
    write_file(home_->filePath("Report.fxe"), "encrypted");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", data(""));
    env.insert("XDG_CONFIG_HOME", config(""));
    run(update, {data("mime")}, env);

    const QString info =
        run(gio, {"info", "-a", "standard::content-type", home_->filePath("Report.fxe")}, env);
    QVERIFY2(info.contains("standard::content-type: application/x-ferrocase"), qPrintable(info));
    const QString mime = run(gio, {"mime", "application/x-ferrocase"}, env);
    QVERIFY2(mime.contains(QString::fromUtf8("“application/x-ferrocase”: Ferrocase.desktop")),
             qPrintable(mime));
}

QTEST_GUILESS_MAIN(FreedesktopRegistryTest)
#include "tst_freedesktop_registry.moc"
