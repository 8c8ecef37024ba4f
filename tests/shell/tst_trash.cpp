#include "shell/freedesktop_trash.h"
#include "tests/support/file_helpers.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

// The trash of a file system's top folder, with a temporary folder standing in for that top.
class TrashTest : public QObject {
    Q_OBJECT

private slots:
    void top_folder_trash_data();
    void top_folder_trash();
};

void TrashTest::top_folder_trash_data() {
    const QByteArray user = QByteArray::number(::getuid());
    QTest::addColumn<QString>("prepared");
    QTest::addColumn<QByteArray>("trash");   // below the top folder; empty when none can be made
    QTest::addColumn<QByteArray>("trashed"); // the name in the trash
    QTest::addRow("no shared .Trash") << ""
                                      << ".Trash-" + user << QByteArray("r\xe9sum\xe9 1.fxe");
    QTest::addRow("a shared .Trash with the sticky bit")
        << "sticky .Trash"
        << ".Trash/" + user << QByteArray("r\xe9sum\xe9 1.fxe");
    QTest::addRow("a shared .Trash without the sticky bit is not used")
        << "plain .Trash"
        << ".Trash-" + user << QByteArray("r\xe9sum\xe9 1.fxe");
    QTest::addRow("a name taken in the trash gets a number")
        << "name taken"
        << ".Trash-" + user << QByteArray("r\xe9sum\xe9 1.2.fxe");
    QTest::addRow("a file where the trash should be: the file is kept")
        << "blocked" << QByteArray() << QByteArray();
    QTest::addRow("another user's folder where the trash should be: the file is kept")
        << "foreign" << QByteArray() << QByteArray();
}

void TrashTest::top_folder_trash() {
    QFETCH(QString, prepared);
    QFETCH(QByteArray, trash);
    QFETCH(QByteArray, trashed);
    QTemporaryDir dir;
    const fs::path top = dir.path().toStdString();
    const fs::path user_trash = top / (".Trash-" + std::to_string(::getuid()));
    if (prepared.endsWith(".Trash")) {
        fs::create_directory(top / ".Trash");
        ::chmod((top / ".Trash").c_str(), prepared.startsWith("sticky") ? 01777 : 0777);
    } else if (prepared == "name taken") {
        fs::create_directories(user_trash / "info");
        write_file(user_trash / "info" / "r\xe9sum\xe9 1.fxe.trashinfo", {1});
    } else if (prepared == "blocked") {
        write_file(user_trash, {1});
    } else if (prepared == "foreign") {
        fs::create_directories(user_trash / "files");
        fs::create_directories(user_trash / "info");
        if (::chown(user_trash.c_str(), ::getuid() + 1, ::getgid()) != 0) {
            QSKIP("giving a folder to another user needs root");
        }
    }
    fs::create_directory(top / "sub");
    const fs::path file = top / "sub" / "r\xe9sum\xe9 1.fxe";
    const Bytes bytes = random_bytes(300, 1);
    write_file(file, bytes);

    TrashFolder folder;
    std::error_code error = ferrocase::top_folder_trash(top, ::getuid(), folder);
    if (!error) {
        error = move_into_trash(file, folder);
    }
    if (trash.isEmpty()) {
        QVERIFY(error);
        QVERIFY(read_file(file) == bytes);
        return;
    }
    QVERIFY2(!error, error.message().c_str());
    QVERIFY(!fs::exists(file));
    const fs::path where = top / trash.toStdString();
    QVERIFY(read_file(where / "files" / trashed.toStdString()) == bytes);
    const Bytes info = read_file(where / "info" / (trashed.toStdString() + ".trashinfo"));
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(info.data()),
                                             static_cast<qsizetype>(info.size()));
    // A top folder's trash gives the path relative to that folder, so it survives another mount.
    static const QRegularExpression expected(QStringLiteral(
        R"(^\[Trash Info\]\nPath=sub/r%E9sum%E9%201\.fxe\nDeletionDate=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\n$)"));
    QVERIFY2(expected.match(text).hasMatch(), qPrintable(text));
}

QTEST_GUILESS_MAIN(TrashTest)
#include "tst_trash.moc"
