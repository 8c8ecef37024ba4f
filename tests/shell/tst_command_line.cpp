#include "shell/command_line.h"

#include <QTest>
#include <string>
#include <vector>

using namespace ferrocase;

Q_DECLARE_METATYPE(std::vector<std::string>)

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void shell_is_searched_anywhere_data();
    void shell_is_searched_anywhere();
    void arguments_are_rebuilt_as_one_text_data();
    void arguments_are_rebuilt_as_one_text();
    void desktop_arguments_give_the_document_path_data();
    void desktop_arguments_give_the_document_path();
};

void CommandLineTest::parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("command_line");
    QTest::addColumn<QString>("command_path");

    QTest::addRow("no arguments") << ""
                                  << ""
                                  << "";
    QTest::addRow("the registered command for C:\\Data\\Report.fxe")
        << R"(shell in="C:\Data\Report.fxe")"
        << R"(shell in="c:\data\report.fxe")"
        << R"(c:\data\report.fxe)";
    QTest::addRow("capitals are found after lower-casing") << R"(SHELL IN="/Data/X.FXE")"
                                                           << R"(shell in="/data/x.fxe")"
                                                           << "/data/x.fxe";
    QTest::addRow("the first in= of the whole text counts") << R"(login=x shell in="/a.fxe")"
                                                            << R"(login=x shell in="/a.fxe")"
                                                            << " shell in=";
    QTest::addRow("an in= inside the path comes after the real one")
        << R"(shell in="/srv/in=/a.fxe")"
        << R"(shell in="/srv/in=/a.fxe")"
        << "/srv/in=/a.fxe";
    QTest::addRow("an unquoted path loses its first character") << "in=abc"
                                                                << "in=abc"
                                                                << "bc";
    QTest::addRow("no closing quote takes the rest") << R"(shell in="/a b/c.fxe)"
                                                     << R"(shell in="/a b/c.fxe)"
                                                     << "/a b/c.fxe";
    QTest::addRow("in= at the very end") << "shell in="
                                         << "shell in="
                                         << "";
    QTest::addRow("an empty quoted path") << R"(shell in="")"
                                          << R"(shell in="")"
                                          << "";
    QTest::addRow("text after the closing quote is ignored") << R"(shell in="/a.fxe" more)"
                                                             << R"(shell in="/a.fxe" more)"
                                                             << "/a.fxe";
    QTest::addRow("no in= leaves the path empty") << "shell /a.fxe"
                                                  << "shell /a.fxe"
                                                  << "";
    QTest::addRow("the skipped character may be a multi-byte one") << "shell in=äbc"
                                                                   << "shell in=äbc"
                                                                   << "bc";
    QTest::addRow("letters beyond ASCII are lowered too") << R"(shell in="/DÄTEN/ÜBER.fxe")"
                                                          << R"(shell in="/däten/über.fxe")"
                                                          << "/däten/über.fxe";
}

void CommandLineTest::parse() {
    QFETCH(QString, text);
    QFETCH(QString, command_line);
    QFETCH(QString, command_path);

    AppState state;
    state.command_path = "left over";
    process_commands(state, text.toStdString());

    QCOMPARE(QString::fromStdString(state.command_line), command_line);
    QCOMPARE(QString::fromStdString(state.command_path), command_path);
}

void CommandLineTest::shell_is_searched_anywhere_data() {
    QTest::addColumn<QString>("command_line");
    QTest::addColumn<bool>("mentioned");

    QTest::addRow("nothing") << "" << false;
    QTest::addRow("the word itself") << R"(shell in="/a.fxe")" << true;
    QTest::addRow("inside a path") << R"(/home/marshella/a.fxe)" << true;
    QTest::addRow("in= without shell") << R"(in="/a.fxe")" << false;
}

void CommandLineTest::shell_is_searched_anywhere() {
    QFETCH(QString, command_line);
    QFETCH(bool, mentioned);

    QCOMPARE(mentions_shell(command_line.toStdString()), mentioned);
}

void CommandLineTest::arguments_are_rebuilt_as_one_text_data() {
    QTest::addColumn<std::vector<std::string>>("arguments");
    QTest::addColumn<QString>("text");

    using Args = std::vector<std::string>;
    QTest::addRow("none") << Args{} << "";
    QTest::addRow("the value of in= is quoted")
        << Args{"shell", "in=/data/Report.fxe"} << R"(shell in="/data/Report.fxe")";
    QTest::addRow("a path with blanks stays one value")
        << Args{"shell", "in=/my docs/a b.fxe"} << R"(shell in="/my docs/a b.fxe")";
    QTest::addRow("in= in capitals") << Args{"SHELL", "IN=/x"} << R"(SHELL IN="/x")";
    QTest::addRow("a value quoted already is kept")
        << Args{"shell", R"(in="/x.fxe")"} << R"(shell in="/x.fxe")";
    QTest::addRow("an empty in=") << Args{"shell", "in="} << R"(shell in="")";
    QTest::addRow("another argument with a blank") << Args{"a b", "c"} << R"("a b" c)";
    QTest::addRow("an empty argument") << Args{"", "c"} << R"("" c)";
}

void CommandLineTest::arguments_are_rebuilt_as_one_text() {
    QFETCH(std::vector<std::string>, arguments);
    QFETCH(QString, text);

    QCOMPARE(QString::fromStdString(argument_text(arguments)), text);
}

void CommandLineTest::desktop_arguments_give_the_document_path_data() {
    QTest::addColumn<std::vector<std::string>>("arguments");
    QTest::addColumn<QString>("command_path");

    using Args = std::vector<std::string>;
    QTest::addRow("typed in a terminal")
        << Args{"shell", "in=/data/Report.fxe"} << "/data/report.fxe";
    QTest::addRow("the desktop's open command with blanks in the path")
        << Args{"shell", "in=/home/ann/My Files/Tax 2024.fxe"} << "/home/ann/my files/tax 2024.fxe";
    QTest::addRow("a path that begins with a non-ASCII letter")
        << Args{"shell", "in=/Ärger/a.fxe"} << "/ärger/a.fxe";
}

void CommandLineTest::desktop_arguments_give_the_document_path() {
    QFETCH(std::vector<std::string>, arguments);
    QFETCH(QString, command_path);

    AppState state;
    const std::string text = argument_text(arguments);
    state.command_line = lower_case(text);
    QVERIFY(mentions_shell(state.command_line));
    process_commands(state, text);

    QCOMPARE(QString::fromStdString(state.command_path), command_path);
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_command_line.moc"
