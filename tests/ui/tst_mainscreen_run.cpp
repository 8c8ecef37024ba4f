#include "durable_run/durable_run.h"
#include "strong/strong_file.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/stored_format.h"
#include "tests/ui/message_recorder.h"
#include "ui/frmdirtree.h"
#include "ui/mainscreen.h"
#include "ui/native_path.h"
#include "ui/percent_bar.h"
#include "ui/quit_signals.h"
#include "ui/unfinished_notice.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <memory>

using namespace ferrocase;
using namespace ferrocase::testing;
namespace fs = std::filesystem;

namespace {

const QString password = QStringLiteral("Pa\u00dfwort");
const std::string password_bytes = "Pa\xdfwort"; // the same in Windows-1252
const QString finished = QStringLiteral("Finished !");

} // namespace

class MainscreenRunTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void refusals_data();
    void refusals();
    void mixed_queue_with_multiple_encryption_switched_on_mid_run();
    void decrypted_source_goes_to_the_trash();
    void decrypted_source_is_kept_where_the_trash_cannot_take_it();
    void failed_file_is_reported_before_finished();
    void a_hundred_failures_fit_the_screen();
    void strong_encryption_unlinks_the_plain_original();
    void no_second_run_nor_chooser_during_a_run();
    void focus_returns_to_the_control_that_started_the_run();
    void quit_during_a_run_data();
    void quit_during_a_run();
    void files_left_unfinished_are_named_at_start();
    void files_a_stopped_run_never_took_are_offered_back();

private:
    template <typename Control> Control* control(const char* name) const {
        return window_->findChild<Control*>(QString::fromLatin1(name));
    }
    fs::path make(const std::string& name, const Bytes& bytes);
    void queue(const std::vector<fs::path>& files);
    void type_password(const QString& text1, const QString& text2);
    void press_encrypt_decrypt();
    void verify_idle_after_run();

    QTemporaryDir config_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<InMemoryFileTypeRegistry> registry_;
    std::unique_ptr<MessageRecorder> recorder_;
    std::unique_ptr<Mainscreen> window_;
    FaultyFileSystem hooked_;
};

// The strong option is remembered in the settings: keep the user's own out of reach.
void MainscreenRunTest::initTestCase() {
    QVERIFY(config_.isValid());
    qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
    QVERIFY(QSettings(QStringLiteral("Ferrocase"), QStringLiteral("Ferrocase"))
                .fileName()
                .startsWith(config_.path()));
}

void MainscreenRunTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    state_ = std::make_unique<AppState>();
    registry_ = std::make_unique<InMemoryFileTypeRegistry>();
    recorder_ = std::make_unique<MessageRecorder>();
    window_ = std::make_unique<Mainscreen>(*state_, *registry_, std::string());
    hooked_.on_open = nullptr;
    window_->use_file_system(hooked_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void MainscreenRunTest::cleanup() {
    window_.reset();
    recorder_.reset();
    // QTemporaryDir cannot remove names that are not UTF-8.
    std::error_code ignored;
    fs::remove_all(dir_->path().toStdString(), ignored);
}

fs::path MainscreenRunTest::make(const std::string& name, const Bytes& bytes) {
    const fs::path path = fs::path(dir_->path().toStdString()) / name;
    write_file(path, bytes);
    return path;
}

void MainscreenRunTest::queue(const std::vector<fs::path>& files) {
    state_->file_count = 0;
    for (const auto& file : files) {
        state_->file_queue.row(++state_->file_count).source = file;
    }
}

namespace {

// Types any characters, not only those of a keyboard's keys.
void type_text(QWidget* box, const QString& text) {
    for (const QChar character : text) {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(character), Qt::NoModifier);
    }
}

} // namespace

void MainscreenRunTest::type_password(const QString& text1, const QString& text2) {
    type_text(control<QLineEdit>("Text1"), text1);
    type_text(control<QLineEdit>("Text2"), text2);
    QCOMPARE(control<QLineEdit>("Text1")->text(), text1);
}

void MainscreenRunTest::press_encrypt_decrypt() {
    QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
}

void MainscreenRunTest::verify_idle_after_run() {
    QCOMPARE(window_->windowTitle(), QString::fromStdString(state_->window_title));
    QVERIFY(window_->isEnabled());
    QVERIFY(!control<QTimer>("Timer1")->isActive());
    QCOMPARE(control<PercentBar>("ProgressBar1")->percent(), 0.0F);
    QCOMPARE(control<PercentBar>("ProgressBar2")->percent(), 0.0F);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    QCOMPARE(state_->file_count, 0);
    QVERIFY(!state_->run_in_progress);
    QVERIFY(!control<QCheckBox>("Check1")->isChecked());
    for (const char* name : {"Text1", "Text2", "Command1", "Command2", "Slider1"}) {
        QVERIFY2(control<QWidget>(name)->isEnabled(), name);
    }
    QCOMPARE(recorder_->texts().count(finished), 1);
    QCOMPARE(recorder_->texts().last(), finished);
    QCOMPARE(recorder_->messages.last().icon, MessageIcon::exclamation);
}

void MainscreenRunTest::refusals_data() {
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<int>("files");
    QTest::addColumn<QString>("message");
    QTest::addRow("passwords that differ in letter case")
        << "Secret"
        << "secret" << 1
        << "Unable to Process. Password Box and Password Verification Box hold different "
           "information.";
    QTest::addRow("no password") << ""
                                 << "" << 1 << "Unable to Process. No Password provided.";
    QTest::addRow("no files") << "pw"
                              << "pw" << 0 << "Unable to Process. No files have been selected !";
    QTest::addRow("a character outside Windows-1252")
        << "\u0142\u00f3d\u017a"
        << "\u0142\u00f3d\u017a" << 1
        << "Unable to Process. Character 1 of the Password cannot be used: a password may hold "
           "only characters of the Western European (Windows-1252) character set.";
}

void MainscreenRunTest::refusals() {
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(int, files);
    QFETCH(QString, message);
    const Bytes plain = random_bytes(500, 1);
    const auto file = make("plain.txt", plain);
    queue({file});
    state_->file_count = files;
    const QString title = window_->windowTitle();
    QSignalSpy titles(window_.get(), &QWidget::windowTitleChanged);

    type_password(text1, text2);
    press_encrypt_decrypt();

    QCOMPARE(recorder_->texts(), QStringList{message});
    QCOMPARE(recorder_->messages[0].icon, MessageIcon::error);
    QCOMPARE(titles.count(), 0);
    QCOMPARE(window_->windowTitle(), title);
    QVERIFY(!control<QTimer>("Timer1")->isActive());
    QCOMPARE(state_->file_count, files);
    QVERIFY(read_file(file) == plain);
}

void MainscreenRunTest::mixed_queue_with_multiple_encryption_switched_on_mid_run() {
    const Bytes b = random_bytes(23456, 2);
    const Bytes c = random_bytes(10000, 3);
    const Bytes a = random_bytes(31000, 4);
    const Bytes e = random_bytes(777, 5);
    const int step = 3;
    const auto b_fxe = make("b.fxe", protect(b, password_bytes, step));
    const auto c_fxe = make("C.FXE", protect(c, password_bytes, step));
    const auto a_txt = make("a.txt", a);
    const auto e_fxe = make("e.fxe", e);
    queue({b_fxe, c_fxe, a_txt, e_fxe});

    // "Allow Multiple Encryption" is ticked while a.txt, the third file, is being encrypted.
    hooked_.on_open = [&](const fs::path& path) {
        if (path == a_txt && !control<QCheckBox>("Check2")->isChecked()) {
            QTest::mouseClick(control<QCheckBox>("Check2"), Qt::LeftButton);
        }
    };
    control<QSlider>("Slider1")->setValue(step - 1);
    type_password(password, password);
    QSignalSpy titles(window_.get(), &QWidget::windowTitleChanged);
    press_encrypt_decrypt();

    const fs::path folder = dir_->path().toStdString();
    QVERIFY(read_file(folder / "b") == b);
    QVERIFY(read_file(folder / "C") == c);
    QVERIFY(read_file(a_txt) == protect(a, password_bytes, step));
    QVERIFY(!fs::exists(folder / "e"));
    QVERIFY(read_file(e_fxe) == protect(e, password_bytes, step));
    QVERIFY(fs::exists(b_fxe) && fs::exists(c_fxe));

    QStringList title_sequence;
    for (const auto& arguments : titles) {
        title_sequence << arguments.at(0).toString();
    }
    QCOMPARE(title_sequence,
             (QStringList{"File Queue:3", "File Queue:2", "File Queue:1", "File Queue:0",
                          QString::fromStdString(state_->window_title)}));
    QCOMPARE(recorder_->texts().size(), 2);
    QVERIFY(recorder_->texts()[0].startsWith("By Enabling this option"));
    verify_idle_after_run();
    QVERIFY(control<QCheckBox>("Check2")->isChecked());
    QCOMPARE(state_->skip_step, step);
}

namespace {

// Points the desktop's data folder somewhere else for as long as it lives.
class DataHome {
public:
    explicit DataHome(const QByteArray& path)
        : home_(qgetenv("HOME")), data_home_(qgetenv("XDG_DATA_HOME")) {
        qputenv("XDG_DATA_HOME", path);
    }
    DataHome(const QByteArray& home, const QByteArray& data_home) : DataHome(data_home) {
        qputenv("HOME", home);
    }
    ~DataHome() {
        qputenv("HOME", home_);
        qputenv("XDG_DATA_HOME", data_home_);
    }

private:
    QByteArray home_;
    QByteArray data_home_;
};

} // namespace

// The name is Latin-1, not UTF-8: it has no exact QString, and the trash must keep its bytes.
void MainscreenRunTest::decrypted_source_goes_to_the_trash() {
    const QByteArray home = dir_->filePath("home").toLocal8Bit();
    QVERIFY(QDir().mkpath(QString::fromLocal8Bit(home) + "/.local/share"));
    DataHome data_home(home, home + "/.local/share");
    const Bytes plain = random_bytes(15000, 6);
    const Bytes encrypted = protect(plain, password_bytes, 1);
    const std::string name = "r\xe9sum\xe9.txt.fxe";
    const auto source = make(name, encrypted);
    fs::permissions(source, fs::perms::owner_read);
    const auto other = make("s.txt", random_bytes(100, 7));
    queue({source, other});

    QTest::mouseClick(control<QCheckBox>("Check1"), Qt::LeftButton);
    type_password(password, password);
    press_encrypt_decrypt();

    QVERIFY(!fs::exists(source));
    const fs::path folder = fs::canonical(dir_->path().toStdString());
    QVERIFY(read_file(folder / "r\xe9sum\xe9.txt") == plain);
    QVERIFY(fs::exists(other));
    const fs::path trash = home.toStdString() + "/.local/share/Trash";
    QVERIFY(read_file(trash / "files" / name) == encrypted);
    const Bytes info = read_file(trash / "info" / (name + ".trashinfo"));
    const QByteArray expected =
        "[Trash Info]\nPath=" + QByteArray::fromStdString(folder.native()).toPercentEncoding("/") +
        "/r%E9sum%E9.txt.fxe\nDeletionDate=";
    QVERIFY2(QByteArray(reinterpret_cast<const char*>(info.data()), qsizetype(info.size()))
                 .startsWith(expected),
             expected.constData());
    verify_idle_after_run();
    QCOMPARE(recorder_->texts(), QStringList{finished});
}

void MainscreenRunTest::decrypted_source_is_kept_where_the_trash_cannot_take_it() {
    // A file where the data folder should be: no trash can be made there.
    const QString blocked = dir_->filePath("not-a-folder");
    make("not-a-folder", {1});
    DataHome data_home(dir_->path().toLocal8Bit(), blocked.toLocal8Bit());
    const Bytes plain = random_bytes(300, 8);
    const Bytes encrypted = protect(plain, password_bytes, 1);
    const auto source = make("t.fxe", encrypted);
    queue({source});

    QTest::mouseClick(control<QCheckBox>("Check1"), Qt::LeftButton);
    type_password(password, password);
    press_encrypt_decrypt();

    QVERIFY(read_file(source) == encrypted);
    QVERIFY(read_file(dir_->path().toStdString() + "/t") == plain);
    verify_idle_after_run();
    QCOMPARE(recorder_->messages.size(), 2);
    QCOMPARE(recorder_->messages[0].icon, MessageIcon::error);
    QVERIFY2(recorder_->texts()[0].contains("t.fxe: kept: could not be moved to the trash"),
             qPrintable(recorder_->texts()[0]));
}

// Any Unicode password will do for strong files; the plain original leaves no copy in the trash.
void MainscreenRunTest::strong_encryption_unlinks_the_plain_original() {
    const QByteArray home = dir_->filePath("home").toLocal8Bit();
    QVERIFY(QDir().mkpath(QString::fromLocal8Bit(home) + "/.local/share"));
    DataHome data_home(home, home + "/.local/share");
    state_->strong.kdf = {.iterations = 1, .memory_kib = 8};
    const Bytes plain = random_bytes(70000, 10);
    const auto source = make("notes.txt", plain);
    queue({source});

    auto* option = control<QAction>("strong");
    option->trigger();
    QTest::mouseClick(control<QCheckBox>("Check1"), Qt::LeftButton);
    const QString unicode = QStringLiteral("\u041a\u043b\u044e\u0447-e\u0301");
    type_password(unicode, unicode);
    press_encrypt_decrypt();
    option->trigger();

    QVERIFY(!fs::exists(source));
    QVERIFY(!fs::exists(home.toStdString() + "/.local/share/Trash/files/notes.txt"));
    EngineState state;
    const auto result =
        decrypt_strong_file(state, local_file_system(), source.string() + ".fxs", source,
                            unicode.normalized(QString::NormalizationForm_C).toStdString(), [] {});
    QVERIFY2(result.ok(), result.describe().c_str());
    QVERIFY(read_file(source) == plain);
    verify_idle_after_run();
    QCOMPARE(recorder_->texts(), QStringList{finished});
}

void MainscreenRunTest::failed_file_is_reported_before_finished() {
    const Bytes plain = random_bytes(20000, 9);
    const auto broken = make("broken.txt", plain);
    const auto fine = make("fine.txt", plain);
    queue({broken, fine});
    FaultyFileSystem faulty;
    faulty.fail(Operation::write, 1);
    window_->use_file_system(faulty);

    type_password(password, password);
    press_encrypt_decrypt();

    QVERIFY(faulty.fault_fired());
    QCOMPARE(recorder_->messages.size(), 2);
    QCOMPARE(recorder_->messages[0].icon, MessageIcon::error);
    QVERIFY2(recorder_->texts()[0].contains("broken.txt"), qPrintable(recorder_->texts()[0]));
    QVERIFY(!recorder_->texts()[0].contains("fine.txt"));
    QVERIFY(read_file(broken) == plain);
    QVERIFY(read_file(fine) == protect(plain, password_bytes, 1));
    verify_idle_after_run();
}

// Shown in real boxes: the list of failures must leave the box's OK button on the screen.
void MainscreenRunTest::a_hundred_failures_fit_the_screen() {
    std::vector<fs::path> missing;
    for (int file = 0; file < 100; ++file) {
        missing.push_back(dir_->filePath(QStringLiteral("missing-%1.txt").arg(file)).toStdString());
    }
    queue(missing);
    type_password(password, password);
    recorder_.reset();
    struct Box {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        QString details;
        int height;
    };
    QList<Box> boxes;
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, [&boxes] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes.append({box->icon(), box->windowTitle(), box->text(), box->detailedText(),
                          box->frameGeometry().height()});
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start();
    press_encrypt_decrypt();
    closer.stop();

    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes[0].title, QStringLiteral("Ferrocase"));
    QVERIFY2(boxes[0].height <= window_->screen()->availableGeometry().height(),
             qPrintable(QString::number(boxes[0].height)));
    QVERIFY(boxes[0].text.startsWith(QStringLiteral("100 files could not be processed:\n")));
    QVERIFY(boxes[0].text.contains(QStringLiteral("missing-19.txt")));
    QVERIFY(!boxes[0].text.contains(QStringLiteral("missing-20.txt")));
    QVERIFY(boxes[0].text.endsWith(QStringLiteral("\nand 80 more")));
    for (int file = 0; file < 100; ++file) {
        QVERIFY(boxes[0].details.contains(QStringLiteral("missing-%1.txt:").arg(file)));
    }
    QCOMPARE(boxes[1].text, finished);
    QCOMPARE(boxes[1].icon, QMessageBox::Warning);
}

void MainscreenRunTest::no_second_run_nor_chooser_during_a_run() {
    const Bytes one = random_bytes(5000, 10);
    const Bytes two = random_bytes(5000, 11);
    const auto first = make("one.fxe", protect(one, password_bytes, 1));
    const auto second = make("two.fxe", protect(two, password_bytes, 1));
    queue({first, second});

    // Decryptions leave the buttons unlocked; pressing them must not disturb the run.
    int presses = 0;
    hooked_.on_open = [&](const fs::path& path) {
        if (path == first) {
            ++presses;
            QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
            QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
        }
    };
    QSignalSpy titles(window_.get(), &QWidget::windowTitleChanged);
    type_password(password, password);
    press_encrypt_decrypt();

    QCOMPARE(presses, 1);
    const fs::path folder = dir_->path().toStdString();
    QVERIFY(read_file(folder / "one") == one);
    QVERIFY(read_file(folder / "two") == two);
    for (const auto& arguments : titles) {
        QVERIFY(arguments.at(0).toString() != QStringLiteral("Files to Process: 0"));
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        QVERIFY(!qobject_cast<frmdirtree*>(widget));
    }
    verify_idle_after_run();
    QCOMPARE(recorder_->texts(), QStringList{finished});
}

// The run locks the button, which pushes the focus on to "Delete Original files after processing",
// where one press of Space would tick it.
void MainscreenRunTest::focus_returns_to_the_control_that_started_the_run() {
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    queue({make("plain.txt", random_bytes(3000, 14))});
    type_password(password, password);
    auto* run = control<QPushButton>("Command2");
    run->setFocus();
    QTest::keyClick(run, Qt::Key_Space);

    QCOMPARE(recorder_->texts(), QStringList{finished});
    QCOMPARE(QApplication::focusWidget(), run);
}

void MainscreenRunTest::quit_during_a_run_data() {
    QTest::addColumn<int>("how");
    QTest::addRow("Quit in the File menu") << 0;
    QTest::addRow("closing the window") << 1;
    QTest::addRow("SIGTERM") << SIGTERM;
}

void MainscreenRunTest::quit_during_a_run() {
    QFETCH(int, how);
    QuitSignals quit_signals;
    connect(&quit_signals, &QuitSignals::quitRequested, window_.get(), &Mainscreen::request_quit);
    const Bytes one = random_bytes(60000, 12);
    const Bytes two = random_bytes(60000, 13);
    const auto first = make("one.txt", one);
    const auto second = make("two.txt", two);
    queue({first, second});
    hooked_.on_open = [&](const fs::path& path) {
        if (path != first) {
            return;
        }
        if (how == SIGTERM) {
            // Delivered through the event loop, at the run's next yield.
            std::raise(SIGTERM);
            return;
        }
        if (how == 0) {
            control<QAction>("quit")->trigger();
        } else {
            window_->close();
        }
        QVERIFY(window_->isVisible()); // the file in hand is finished first
        QCOMPARE(window_->windowTitle(), QString("Finishing the current file, then quitting"));
    };

    type_password(password, password);
    press_encrypt_decrypt();

    QVERIFY(!window_->isVisible());
    QVERIFY(read_file(first) == protect(one, password_bytes, 1));
    QVERIFY(read_file(second) == two);
    QVERIFY(recorder_->messages.isEmpty());
    QVERIFY(!state_->run_in_progress);
    QCOMPARE(state_->file_count, 0);
}

void MainscreenRunTest::files_left_unfinished_are_named_at_start() {
    const fs::path journal = fs::path(dir_->path().toStdString()) / "state";
    tell_unfinished_encryptions(window_.get(), local_file_system(), journal);
    QVERIFY(recorder_->messages.isEmpty());

    // Stopped after its first window, with nothing able to put it back.
    const auto file = make("big.bin", random_bytes(700001, 14));
    FaultyFileSystem failing;
    failing.fail_from(Operation::write, 2);
    {
        DurableRun run(failing, journal, {.window_bytes = 320000});
        EngineState state;
        state.password = "pw";
        run.encrypt(state, file, 1, [] {});
    }
    tell_unfinished_encryptions(window_.get(), local_file_system(), journal);
    QCOMPARE(recorder_->messages.size(), 1);
    QCOMPARE(recorder_->messages[0].icon, MessageIcon::exclamation);
    QVERIFY(recorder_->messages[0].text.endsWith("level:\n" + from_native_path(file)));
}

// A run stopped before its list was done: its files not taken are offered back, once.
void MainscreenRunTest::files_a_stopped_run_never_took_are_offered_back() {
    const fs::path journal = fs::path(dir_->path().toStdString()) / "state";
    const std::vector<fs::path> files{make("a", random_bytes(10, 1)),
                                      make("b", random_bytes(10, 2)),
                                      make("c", random_bytes(10, 3))};
    {
        DurableRun run(local_file_system(), journal);
        run.plan(files, 1);
        EngineState state;
        state.password = "pw";
        run.encrypt(state, files[0], 1, [] {});
        run.flush();
        run.take_outcomes();
    }
    recorder_->answer = true;
    QCOMPARE(tell_unfinished_encryptions(window_.get(), local_file_system(), journal),
             std::vector<fs::path>(files.begin() + 1, files.end()));
    QCOMPARE(recorder_->questions.size(), 1);
    QVERIFY(recorder_->questions[0].contains("Queue its 2 remaining files again?"));
    QVERIFY(tell_unfinished_encryptions(window_.get(), local_file_system(), journal).empty());
    QCOMPARE(recorder_->questions.size(), 1);
}

QTEST_MAIN(MainscreenRunTest)
#include "tst_mainscreen_run.moc"
