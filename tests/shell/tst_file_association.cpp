#include "shell/file_association.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

using namespace ferrocase;

namespace {

// Records the calls in the order they arrive.
class RecordingRegistry : public InMemoryFileTypeRegistry {
public:
    Key create_key(const std::string& name) override {
        calls << QString::fromStdString("create " + name);
        return InMemoryFileTypeRegistry::create_key(name);
    }
    void set_default_value(Key key, const std::string& subkey, const std::string& text) override {
        calls << QString::fromStdString("set " + subkey + " = " + text);
        InMemoryFileTypeRegistry::set_default_value(key, subkey, text);
    }

    QStringList calls;
};

void make_program(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

} // namespace

class FileAssociationTest : public QObject {
    Q_OBJECT

private slots:
    void writes_the_three_entries_in_order();
    void a_second_start_rewrites_the_same_values();
    void open_command_data();
    void open_command();
    void executable_is_named_as_path_finds_it_data();
    void executable_is_named_as_path_finds_it();
};

void FileAssociationTest::writes_the_three_entries_in_order() {
    RecordingRegistry registry;
    associate_file(registry, "ferrocase");

    const QStringList expected{
        "create Ferrocase",
        "set  = Ferrocase",
        "create .fxe",
        "set  = Ferrocase",
        "create Ferrocase",
        R"(set shell\open\command = ferrocase shell in="%1")",
        "create Ferrocase-Strong",
        "set  = Ferrocase-Strong",
        "create .fxs",
        "set  = Ferrocase-Strong",
        "create Ferrocase-Strong",
        R"(set shell\open\command = ferrocase shell in="%1")",
    };
    QCOMPARE(registry.calls, expected);
    const std::map<std::string, std::string> values{
        {"Ferrocase", "Ferrocase"},
        {".fxe", "Ferrocase"},
        {R"(Ferrocase\shell\open\command)", R"(ferrocase shell in="%1")"},
        {"Ferrocase-Strong", "Ferrocase-Strong"},
        {".fxs", "Ferrocase-Strong"},
        {R"(Ferrocase-Strong\shell\open\command)", R"(ferrocase shell in="%1")"},
    };
    QVERIFY(registry.values == values);
}

void FileAssociationTest::a_second_start_rewrites_the_same_values() {
    InMemoryFileTypeRegistry registry;
    associate_file(registry, "ferrocase");
    const auto first = registry.values;
    associate_file(registry, "ferrocase");

    QCOMPARE(registry.writes, 12);
    QVERIFY(registry.values == first);
}

void FileAssociationTest::open_command_data() {
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("command");

    QTest::addRow("a bare name") << "ferrocase"
                                 << R"(ferrocase shell in="%1")";
    QTest::addRow("an absolute path") << "/opt/ferrocase/bin/ferrocase"
                                      << R"(/opt/ferrocase/bin/ferrocase shell in="%1")";
    QTest::addRow("a path with a blank is quoted") << "/opt/My Apps/ferrocase"
                                                   << R"("/opt/My Apps/ferrocase" shell in="%1")";
    QTest::addRow("a double quote is escaped, and the backslashes before it")
        << R"(/opt/a\"b\c/ferrocase)"
        << R"("/opt/a\\\"b\c/ferrocase" shell in="%1")";
    QTest::addRow("backslashes before the closing quote are doubled")
        << R"(C:\My Apps\)"
        << R"("C:\My Apps\\" shell in="%1")";
}

void FileAssociationTest::open_command() {
    QFETCH(QString, executable);
    QFETCH(QString, command);

    QCOMPARE(QString::fromStdString(ferrocase::open_command(executable.toStdString())), command);
}

void FileAssociationTest::executable_is_named_as_path_finds_it_data() {
    QTest::addColumn<QStringList>("search_path");
    QTest::addColumn<bool>("bare_name");

    QTest::addRow("installed on the PATH") << QStringList{"bin"} << true;
    QTest::addRow("reached through a link on the PATH") << QStringList{"links"} << true;
    QTest::addRow("first on the PATH of two") << QStringList{"bin", "other"} << true;
    QTest::addRow("not on the PATH") << QStringList{"empty"} << false;
    QTest::addRow("an empty PATH") << QStringList{} << false;
    QTest::addRow("another program of the same name comes first")
        << QStringList{"other", "bin"} << false;
}

void FileAssociationTest::executable_is_named_as_path_finds_it() {
    QFETCH(QStringList, search_path);
    QFETCH(bool, bare_name);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    for (const char* folder : {"bin", "links", "other", "empty"}) {
        QVERIFY(QDir(root.path()).mkdir(folder));
    }
    const QString self = root.filePath("bin/ferrocase");
    make_program(self);
    make_program(root.filePath("other/ferrocase"));
    QVERIFY(QFile::link(self, root.filePath("links/ferrocase")));

    std::vector<std::filesystem::path> folders;
    for (const QString& folder : search_path) {
        folders.push_back(root.filePath(folder).toStdString());
    }
    const std::string named = association_executable(self.toStdString(), folders);

    QCOMPARE(QString::fromStdString(named), bare_name ? QString("ferrocase") : self);
}

QTEST_GUILESS_MAIN(FileAssociationTest)
#include "tst_file_association.moc"
