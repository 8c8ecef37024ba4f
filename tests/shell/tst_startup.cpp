#include "shell/file_association.h"
#include "shell/file_type_registry.h"
#include "ui/mainscreen.h"

#include <QTest>

using namespace ferrocase;

namespace {

// Takes a snapshot of the state when the file type is registered, to show what start-up has
// done by then and what it has not.
class SnapshotRegistry : public InMemoryFileTypeRegistry {
public:
    explicit SnapshotRegistry(const AppState& state) : state_(state) {}

    Key create_key(const std::string& name) override {
        if (!snapshot) {
            snapshot = state_;
        }
        return InMemoryFileTypeRegistry::create_key(name);
    }

    std::optional<AppState> snapshot;

private:
    const AppState& state_;
};

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void idle_values_come_before_the_file_type_and_the_command_line_after();
    void command_line_is_read_once_data();
    void command_line_is_read_once();
};

void StartupTest::idle_values_come_before_the_file_type_and_the_command_line_after() {
    AppState state;
    state.block_size = 7;
    state.skip_step = 9;
    state.file_count = 5;
    state.delete_originals = 1;
    state.command_line = "from before";
    SnapshotRegistry registry(state);

    Mainscreen window(state, registry, R"(shell in="/Data/Report.fxe")");

    QVERIFY(registry.snapshot);
    const AppState& at_registration = *registry.snapshot;
    QVERIFY(at_registration.window_title.starts_with("Ferrocase PRO - V1.60 "));
    QCOMPARE(at_registration.block_size, 10000);
    QCOMPARE(at_registration.skip_step, std::int16_t{1});
    QCOMPARE(at_registration.file_count, 0);
    QCOMPARE(at_registration.delete_originals, std::int16_t{0});
    QCOMPARE(at_registration.command_line, std::string("from before"));

    QCOMPARE(window.windowTitle(), QString::fromStdString(state.window_title));
    QCOMPARE(registry.values.at(R"(Ferrocase\shell\open\command)"),
             open_command(association_executable()));
    QCOMPARE(registry.values.size(), std::size_t{6}); // .fxe and .fxs, three entries each
    QCOMPARE(state.command_line, std::string(R"(shell in="/data/report.fxe")"));
    QCOMPARE(state.command_path, std::string("/data/report.fxe"));
}

void StartupTest::command_line_is_read_once_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("command_line");
    QTest::addColumn<QString>("command_path");

    QTest::addRow("no arguments leave the path as it was") << ""
                                                           << ""
                                                           << "as it was";
    QTest::addRow("in= without shell is not parsed") << R"(in="/a.fxe")"
                                                     << R"(in="/a.fxe")"
                                                     << "as it was";
    QTest::addRow("shell anywhere starts the parse") << R"(in="/home/marshell/A.fxe")"
                                                     << R"(in="/home/marshell/a.fxe")"
                                                     << "/home/marshell/a.fxe";
    QTest::addRow("shell without in= empties the path") << "SHELL"
                                                        << "shell"
                                                        << "";
}

void StartupTest::command_line_is_read_once() {
    QFETCH(QString, text);
    QFETCH(QString, command_line);
    QFETCH(QString, command_path);

    AppState state;
    state.command_path = "as it was";
    InMemoryFileTypeRegistry registry;
    Mainscreen window(state, registry, text.toStdString());

    QCOMPARE(QString::fromStdString(state.command_line), command_line);
    QCOMPARE(QString::fromStdString(state.command_path), command_path);
    QCOMPARE(state.file_count, 0);
    QCOMPARE(window.windowTitle(), QString::fromStdString(state.window_title));
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
