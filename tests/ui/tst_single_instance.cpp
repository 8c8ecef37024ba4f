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

private:
    void start_second(const QStringList& arguments);
    QStringList queued() const;

    std::unique_ptr<QTemporaryDir> dir_;
    AppState state_;
    InMemoryFileTypeRegistry registry_;
    std::unique_ptr<MessageRecorder> recorder_;
    std::unique_ptr<Mainscreen> window_;
    std::unique_ptr<SingleInstance> instance_;
    FaultyFileSystem hooked_;
};

void SingleInstanceTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid() && QDir(dir_->path()).mkdir("runtime") &&
            QDir(dir_->path()).mkdir("folder"));
    for (const char* name : {"queued.txt", "one.fxe", "two.fxe", "doc\" 2.fxe", "shell", "in=x",
                             "folder/inside.txt"}) {
        std::ofstream(dir_->filePath(name).toStdString()).put('x');
    }
    // The name lies in the user's runtime folder, so each test process has its own. A program
    // killed earlier left its socket there, where no one answers.
    QFile::setPermissions(dir_->filePath("runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", dir_->filePath("runtime").toLocal8Bit());
    QFile(instance_name()).open(QIODevice::WriteOnly);
    state_ = AppState{};
    recorder_ = std::make_unique<MessageRecorder>();
    window_ = std::make_unique<Mainscreen>(state_, registry_, std::string());
    window_->use_file_system(hooked_);
    window_->show();
    instance_ = std::make_unique<SingleInstance>(instance_name());
    QVERIFY(!instance_->hand_over({}));
    QVERIFY(instance_->listen([this](std::vector<std::filesystem::path> documents) {
        window_->open_documents(std::move(documents));
    }));
    window_->open_documents({dir_->filePath("queued.txt").toStdString()});
}

void SingleInstanceTest::cleanup() {
    instance_.reset();
    window_.reset();
    recorder_.reset();
    hooked_.on_open = nullptr;
}

// Waits, handling events, until the program has ended.
void SingleInstanceTest::start_second(const QStringList& arguments) {
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Were the hand-over to fail, its own start would register the file type here.
    environment.insert("XDG_DATA_HOME", dir_->filePath("data"));
    environment.insert("XDG_CONFIG_HOME", dir_->filePath("config"));
    second.setProcessEnvironment(environment);
    second.setWorkingDirectory(dir_->path()); // relative names are the second start's own
    second.start(FERROCASE_EXECUTABLE, arguments);
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
}

QStringList SingleInstanceTest::queued() const {
    QStringList names;
    for (std::int32_t row = 1; row <= state_.file_count; ++row) {
        names << QString::fromStdString(state_.file_queue.row(row).source.filename().string());
    }
    return names;
}

void SingleInstanceTest::a_second_start_hands_over_and_exits_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("queued");
    QTest::addColumn<QString>("message"); // names the documents that are not files

    QTest::addRow("a quote followed by a blank")
        << QStringList{"shell", "in=doc\" 2.fxe"} << QStringList{"queued.txt", "doc\" 2.fxe"} << "";
    QTest::addRow("two documents at once, one queued already")
        << QStringList{"shell", "in=one.fxe", "queued.txt", "two.fxe"}
        << QStringList{"queued.txt", "one.fxe", "two.fxe"} << "";
    QTest::addRow("files as plain arguments")
        << QStringList{"one.fxe", "two.fxe"} << QStringList{"queued.txt", "one.fxe", "two.fxe"}
        << "";
    QTest::addRow("no document") << QStringList{} << QStringList{"queued.txt"} << "";
    QTest::addRow("files named like the desktop's form, a folder, a document that does not exist")
        << QStringList{"--", "shell", "in=x", "folder", "missing.fxe"}
        << QStringList{"queued.txt", "shell", "in=x", "inside.txt"}
        << "Unable to Open. This document does not exist or is not a file or a folder:\n"
           "%1/missing.fxe";
}

void SingleInstanceTest::a_second_start_hands_over_and_exits() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, queued);
    QFETCH(QString, message);
    start_second(arguments);

    QTRY_COMPARE(this->queued(), queued);
    QTRY_COMPARE(recorder_->texts(),
                 message.isEmpty() ? QStringList{} : QStringList{message.arg(dir_->path())});
    QCOMPARE(window_->windowTitle(), QString("Files to Process:%1").arg(queued.size()));
}

void SingleInstanceTest::documents_handed_over_during_a_run_wait_for_its_end() {
    hooked_.on_open = [&](const std::filesystem::path& path) {
        if (path.filename() == "queued.txt") {
            start_second({"shell", "in=one.fxe"});
            QTest::qWait(100);
            QCOMPARE(queued(), QStringList{"queued.txt"});
        }
    };
    QTest::keyClicks(window_->findChild<QLineEdit*>("Text1"), "pw");
    QTest::keyClicks(window_->findChild<QLineEdit*>("Text2"), "pw");
    QTest::mouseClick(window_->findChild<QPushButton*>("Command2"), Qt::LeftButton);

    QCOMPARE(recorder_->texts(), QStringList{"Finished !"});
    QCOMPARE(queued(), QStringList{"one.fxe"});
    QCOMPARE(window_->windowTitle(), QString("Files to Process:1"));
}

QTEST_MAIN(SingleInstanceTest)
#include "tst_single_instance.moc"
