#include "shell/desktop_unregistration.h"
#include "shell/file_association.h"
#include "shell/freedesktop_file_type_registry.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace ferrocase;

// The user's choice of a default program for the file type, undoing a registration, and the
// manual's account of both.
class UserDefaultTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;

    QString path(const QString& relative) const { return home->filePath(relative); }

    FreedesktopFileTypeRegistry::Folders folders() const {
        return {path("data").toStdString(), path("config").toStdString()};
    }

    void write(const QString& relative, const QByteArray& content) {
        QVERIFY(QDir().mkpath(QFileInfo(path(relative)).path()));
        QFile file(path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QByteArray read(const QString& relative) const {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }

    void startProgram() {
        FreedesktopFileTypeRegistry registry(folders(), [](const QString&, const QStringList&) {});
        associate_file(registry, "ferrocase");
    }

private slots:
    void init() {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
    }

    void anotherProgramChosenByTheUserStays_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QByteArray group = "[Default Applications]\n";
        const QByteArray ours = "application/x-ferrocase=Ferrocase.desktop\n";
        QTest::addRow("no list yet") << QByteArray() << group + ours;
        QTest::addRow("no default for the type") << group + "text/plain=gedit.desktop\n"
                                                 << group + "text/plain=gedit.desktop\n" + ours;
        QTest::addRow("another program's") << group + "application/x-ferrocase=other.desktop;\n"
                                           << group + "application/x-ferrocase=other.desktop;\n";
        QTest::addRow("ours at an old path")
            << group + "application/x-ferrocase=old-Ferrocase.desktop;\n"
            << group + ours;
        QTest::addRow("the installed entry")
            << group + "application/x-ferrocase=io.github.ferrocase.ferrocase.desktop\n"
            << group + ours;
    }

    void anotherProgramChosenByTheUserStays() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        if (!before.isEmpty()) {
            write("config/mimeapps.list", before);
        }
        startProgram();
        // The strong type had no default: it gets ours.
        QCOMPARE(read("config/mimeapps.list"),
                 after + "application/x-ferrocase-strong=Ferrocase-Strong.desktop\n");
    }

    // Everything a start wrote goes, every line of the user's own stays.
    void unregisteringRemovesWhatAStartWrote() {
        const QByteArray others = "# mine\n[Default Applications]\ntext/plain=gedit.desktop\n";
        write("config/mimeapps.list", others);
        write("config/Ferrocase/Ferrocase.conf", "[General]\n");
        startProgram();
        write("config/mimeapps.list",
              read("config/mimeapps.list") +
                  "\n[Added Associations]\napplication/x-ferrocase=Ferrocase.desktop;\n"
                  "image/png=eog.desktop;\n");

        const Unregistration done =
            unregister_file_types(folders(), {ferrocase_file_class, ferrocase_strong_file_class},
                                  path("config/Ferrocase/Ferrocase.conf").toStdString());
        QVERIFY(done.failures.empty());
        QCOMPARE(done.removed.size(), std::size_t{5});
        QCOMPARE(read("config/mimeapps.list"),
                 others + "\n[Added Associations]\nimage/png=eog.desktop;\n");
        for (const char* gone :
             {"data/applications/Ferrocase.desktop", "data/applications/Ferrocase-Strong.desktop",
              "data/mime/packages/ferrocase-fxe.xml", "data/mime/packages/ferrocase-strong-fxs.xml",
              "config/Ferrocase"}) {
            QVERIFY2(!QFileInfo::exists(path(gone)), gone);
        }
    }

    // The names a first start writes are the ones ferrocase(1) gives, and the manual names none
    // under ~/.local/share that a start does not write.
    void theManualNamesTheFilesAStartWrites() {
        startProgram();
        QStringList written;
        for (const auto& [folder, shown] :
             {std::pair{"data", "~/.local/share"}, std::pair{"config", "~/.config"}}) {
            QDirIterator found(path(folder), QDir::Files, QDirIterator::Subdirectories);
            while (found.hasNext()) {
                written << shown + found.next().mid(path(folder).size());
            }
        }
        QFile page(FERROCASE_MANUAL_PATH);
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll());
        const QString files = text.section(".SH FILES\n", 1).section("\n.SH ", 0, 0);
        QStringList named;
        for (const auto& match :
             QRegularExpression(R"(^\.I (~/\S+)$)", QRegularExpression::MultilineOption)
                 .globalMatch(files)) {
            named << match.captured(1).replace("\\-", "-");
        }
        for (const QString& file : written) {
            QVERIFY2(named.contains(file), qPrintable(file));
        }
        for (const QString& file : named) {
            QVERIFY2(!file.startsWith("~/.local/share/") || written.contains(file),
                     qPrintable(file));
        }
    }
};

QTEST_GUILESS_MAIN(UserDefaultTest)
#include "tst_user_default.moc"
