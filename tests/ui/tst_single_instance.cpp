#include "shell/single_instance.h"
#include "tests/support/faulty_file_system.h"
#include "tests/ui/message_recorder.h"
#include "ui/mainscreen.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <memory>

using namespace ferrocase;
using namespace ferrocase::testing;

// This test's window is the program already running; the real program is started beside it.
class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void a_second_start_hands_over_and_exits_data();
    void a_second_start_hands_over_and_exits();
    void documents_handed_over_during_a_run_wait_for_its_end();
    void what_an_ended_program_left_behind_is_taken_over();

private:
    std::filesystem::path make(const char* name);
    // Starts the program with the arguments and waits, handling events, until it has ended.
    void start_second(const QStringList& arguments);
    QStringList queued() const;

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<InMemoryFileTypeRegistry> registry_;
    std::unique_ptr<MessageRecorder> recorder_;
    std::unique_ptr<Mainscreen> window_;
    std::unique_ptr<SingleInstance> instance_;
    FaultyFileSystem hooked_;
};

void SingleInstanceTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    // The name is the user's runtime folder's, so each test process has its own.
    QVERIFY(QDir(dir_->path()).mkdir("runtime"));
    QVERIFY(QFile::setPermissions(dir_->filePath("runtime"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", dir_->filePath("runtime").toLocal8Bit());
    state_ = std::make_unique<AppState>();
    registry_ = std::make_unique<InMemoryFileTypeRegistry>();
    recorder_ = std::make_unique<MessageRecorder>();
    window_ = std::make_unique<Mainscreen>(*state_, *registry_, std::string());
    hooked_.on_open = nullptr;
    window_->use_file_system(hooked_);
    window_->show();
    instance_ = std::make_unique<SingleInstance>(instance_name());
    QVERIFY(instance_->listen([this](std::vector<std::filesystem::path> documents) {
        window_->open_documents(std::move(documents));
    }));
    window_->open_documents({make("queued.txt")});
}

void SingleInstanceTest::cleanup() {
    instance_.reset();
    window_.reset();
    recorder_.reset();
}

std::filesystem::path SingleInstanceTest::make(const char* name) {
    const std::filesystem::path path = QFile::encodeName(dir_->filePath(name)).toStdString();
    std::ofstream(path).write("0123456789", 10);
    return path;
}

void SingleInstanceTest::start_second(const QStringList& arguments) {
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Were the hand-over to fail, its own start would register the file type here.
    environment.insert("XDG_DATA_HOME", dir_->filePath("data"));
    environment.insert("XDG_CONFIG_HOME", dir_->filePath("config"));
    second.setProcessEnvironment(environment);
    // Relative names are the second start's own: its working folder decides.
    second.setWorkingDirectory(dir_->path());
    second.start(FERROCASE_EXECUTABLE, arguments);
    QVERIFY(second.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
}

QStringList SingleInstanceTest::queued() const {
    QStringList names;
    for (std::int32_t row = 1; row <= state_->file_count; ++row) {
        names << QString::fromStdString(state_->file_queue.row(row).source.filename().string());
    }
    return names;
}

void SingleInstanceTest::a_second_start_hands_over_and_exits_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("queued");
    QTest::addColumn<int>("messages");

    QTest::addRow("one document") << QStringList{"shell", "in=one.fxe"}
                                  << QStringList{"queued.txt", "one.fxe"} << 0;
    QTest::addRow("two documents at once") << QStringList{"shell", "in=one.fxe", "two.fxe"}
                                           << QStringList{"queued.txt", "one.fxe", "two.fxe"} << 0;
    QTest::addRow("no document") << QStringList{} << QStringList{"queued.txt"} << 0;
    QTest::addRow("a document that does not exist")
        << QStringList{"shell", "in=missing.fxe"} << QStringList{"queued.txt"} << 1;
}

void SingleInstanceTest::a_second_start_hands_over_and_exits() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, queued);
    QFETCH(int, messages);
    make("one.fxe");
    make("two.fxe");
    start_second(arguments);

    QTRY_COMPARE(this->queued(), queued);
    QTRY_COMPARE(recorder_->messages.size(), messages);
    QCOMPARE(window_->windowTitle(), QString("Files to Process:%1").arg(queued.size()));
}

void SingleInstanceTest::documents_handed_over_during_a_run_wait_for_its_end() {
    const auto document = make("during.fxe");
    hooked_.on_open = [&](const std::filesystem::path& path) {
        if (path.filename() == "queued.txt") {
            start_second({"shell", "in=" + QFile::decodeName(document.c_str())});
            QTest::qWait(100);
            QCOMPARE(queued(), QStringList{"queued.txt"});
        }
    };
    QTest::keyClicks(window_->findChild<QLineEdit*>("Text1"), "pw");
    QTest::keyClicks(window_->findChild<QLineEdit*>("Text2"), "pw");
    QTest::mouseClick(window_->findChild<QPushButton*>("Command2"), Qt::LeftButton);

    QCOMPARE(recorder_->texts(), QStringList{"Finished !"});
    QCOMPARE(queued(), QStringList{"during.fxe"});
    QCOMPARE(window_->windowTitle(), QString("Files to Process:1"));
}

// A program that was killed leaves its socket behind, where no one answers.
void SingleInstanceTest::what_an_ended_program_left_behind_is_taken_over() {
    instance_.reset();
    QFile(instance_name()).open(QIODevice::WriteOnly);
    instance_ = std::make_unique<SingleInstance>(instance_name());

    QVERIFY(!instance_->hand_over({}));
    QVERIFY(instance_->listen([this](std::vector<std::filesystem::path> documents) {
        window_->open_documents(std::move(documents));
    }));
    make("one.fxe");
    start_second({"shell", "in=one.fxe"});
    QTRY_COMPARE(queued(), (QStringList{"queued.txt", "one.fxe"}));
}

QTEST_MAIN(SingleInstanceTest)
#include "tst_single_instance.moc"
