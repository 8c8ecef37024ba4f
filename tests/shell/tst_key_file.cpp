#include "shell/desktop_exec.h"
#include "shell/key_file.h"

#include <QTest>

using namespace ferrocase;

class KeyFileTest : public QObject {
    Q_OBJECT

private slots:
    void setting_a_key_keeps_every_other_line_data();
    void setting_a_key_keeps_every_other_line();
    void reading_a_key_data();
    void reading_a_key();
    void exec_from_open_command_data();
    void exec_from_open_command();
};

void KeyFileTest::setting_a_key_keeps_every_other_line_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::addRow("an empty file gets the group") << ""
                                                  << "Default Applications"
                                                  << "a/b"
                                                  << "[Default Applications]\na/b=X.desktop\n";
    QTest::addRow("the key's line is replaced where it stands")
        << "# mine\n[Default Applications]\nx/y=Y.desktop\na/b=Old.desktop\nz/z=Z.desktop\n"
        << "Default Applications"
        << "a/b"
        << "# mine\n[Default Applications]\nx/y=Y.desktop\na/b=X.desktop\nz/z=Z.desktop\n";
    QTest::addRow("a new key goes to the end of its group, before the blank line")
        << "[Default Applications]\nx/y=Y.desktop\n\n[Added Associations]\nq/q=Q.desktop;\n"
        << "Default Applications"
        << "a/b"
        << "[Default Applications]\nx/y=Y.desktop\na/b=X.desktop\n\n[Added "
           "Associations]\nq/q=Q.desktop;\n";
    QTest::addRow("the same key in another group is not touched")
        << "[Added Associations]\na/b=Q.desktop;\n"
        << "Default Applications"
        << "a/b"
        << "[Added Associations]\na/b=Q.desktop;\n\n[Default Applications]\na/b=X.desktop\n";
    QTest::addRow("a localised key is another key")
        << "[Desktop Entry]\nName[de]=Fremd\n"
        << "Desktop Entry"
        << "Name"
        << "[Desktop Entry]\nName[de]=Fremd\nName=X.desktop\n";
    QTest::addRow("blanks around the equals sign") << "[Desktop Entry]\nName = Alt\n"
                                                   << "Desktop Entry"
                                                   << "Name"
                                                   << "[Desktop Entry]\nName=X.desktop\n";
    QTest::addRow("a key that only starts with the name is another key")
        << "[Desktop Entry]\nNameless=1\n"
        << "Desktop Entry"
        << "Name"
        << "[Desktop Entry]\nNameless=1\nName=X.desktop\n";
    QTest::addRow("a last line without a line break")
        << "[Desktop Entry]\nType=Application"
        << "Desktop Entry"
        << "Name"
        << "[Desktop Entry]\nType=Application\nName=X.desktop\n";
}

void KeyFileTest::setting_a_key_keeps_every_other_line() {
    QFETCH(QString, content);
    QFETCH(QString, group);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    const std::string result = with_key_file_value(content.toStdString(), group.toStdString(),
                                                   key.toStdString(), "X.desktop");
    QCOMPARE(QString::fromStdString(result), expected);
}

void KeyFileTest::reading_a_key_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("value");

    QTest::addRow("present") << "[Desktop Entry]\nMimeType=a/b;c/d;\n" << true << "a/b;c/d;";
    QTest::addRow("blanks after the equals sign") << "[Desktop Entry]\nMimeType=  a/b;\n"
                                                  << true << "a/b;";
    QTest::addRow("only in another group") << "[Other]\nMimeType=a/b;\n" << false << "";
    QTest::addRow("missing") << "[Desktop Entry]\nName=x\n" << false << "";
}

void KeyFileTest::reading_a_key() {
    QFETCH(QString, content);
    QFETCH(bool, present);
    QFETCH(QString, value);

    const auto found = key_file_value(content.toStdString(), "Desktop Entry", "MimeType");
    QCOMPARE(found.has_value(), present);
    if (present) {
        QCOMPARE(QString::fromStdString(*found), value);
    }
}

void KeyFileTest::exec_from_open_command_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("exec");

    QTest::addRow("a bare name") << R"(ferrocase shell in="%1")"
                                 << "ferrocase shell in=%f";
    QTest::addRow("a quoted path with a blank") << R"("/opt/My Apps/ferrocase" shell in="%1")"
                                                << R"("/opt/My Apps/ferrocase" shell in=%f)";
    QTest::addRow("a percent sign is doubled") << R"(/opt/50%/ferrocase shell in="%1")"
                                               << "/opt/50%%/ferrocase shell in=%f";
    QTest::addRow("dollar and backslash are escaped twice, for the command and for the file")
        << R"(/opt/a$b\c/ferrocase shell in="%1")"
        << R"("/opt/a\\$b\\\\c/ferrocase" shell in=%f)";
}

void KeyFileTest::exec_from_open_command() {
    QFETCH(QString, command);
    QFETCH(QString, exec);

    QCOMPARE(QString::fromStdString(desktop_exec(command.toStdString())), exec);
}

QTEST_GUILESS_MAIN(KeyFileTest)
#include "tst_key_file.moc"
