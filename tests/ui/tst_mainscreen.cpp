#include "tests/ui/message_recorder.h"
#include "ui/frmdirtree.h"
#include "ui/mainscreen.h"
#include "ui/percent_bar.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <memory>

using namespace ferrocase;
using namespace ferrocase::testing;

namespace {

const QString check2_ticked_text = QStringLiteral(
    "By Enabling this option, the file-extension will not be used, therefore you can re-encrypt "
    "encrypted files with additional passwords. To unlock, the passwords must be re-entered in "
    "reverse order.");
const QString check2_unticked_text =
    QStringLiteral("By not Enabling this option, the file-extension will be used for Ferrocase to "
                   "recognise encryption/decryption.");

} // namespace

class MainscreenTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void starts_idle();
    void load_step_reads_the_command_line_data();
    void load_step_reads_the_command_line();
    void controls_as_laid_out();
    void captions_are_whole_data();
    void captions_are_whole();
    void focus_cycles_in_tab_order();
    void password_boxes();
    void ticking_Check1_locks_Check2_without_a_message();
    void Check2_messages_come_in_order();
    void locking_data();
    void locking();
    void right_button_opens_the_menu_data();
    void right_button_opens_the_menu();
    void ctrl_a_shows_about_data();
    void ctrl_a_shows_about();
    void alt_f_opens_the_file_menu();
    void strong_option_is_remembered();
    void timer_moves_the_bars_data();
    void timer_moves_the_bars();
    void dropped_files_join_the_queue();
    void drops_without_files_or_during_a_run_are_refused();
    void documents_opened_while_choosing_follow_the_choice();
    void browse_opens_the_chooser_and_disables_the_window();
    void quit_while_idle_closes_the_window();

private:
    template <typename Control> Control* control(const char* name) const {
        auto* found = window_->findChild<Control*>(QString::fromLatin1(name));
        if (!found) {
            qFatal("no control %s", name);
        }
        return found;
    }
    void show_active();
    void click(const char* check_box);

    QTemporaryDir config_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<InMemoryFileTypeRegistry> registry_;
    std::unique_ptr<MessageRecorder> recorder_;
    std::unique_ptr<Mainscreen> window_;
};

// The strong option is remembered in the settings: keep the user's own out of reach.
void MainscreenTest::initTestCase() {
    QVERIFY(config_.isValid());
    qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
    QVERIFY(QSettings(QStringLiteral("Ferrocase"), QStringLiteral("Ferrocase"))
                .fileName()
                .startsWith(config_.path()));
}

void MainscreenTest::init() {
    state_ = std::make_unique<AppState>();
    registry_ = std::make_unique<InMemoryFileTypeRegistry>();
    recorder_ = std::make_unique<MessageRecorder>();
    window_ = std::make_unique<Mainscreen>(*state_, *registry_, std::string());
}

void MainscreenTest::cleanup() {
    window_.reset();
    recorder_.reset();
}

void MainscreenTest::show_active() {
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void MainscreenTest::click(const char* check_box) {
    QTest::mouseClick(control<QCheckBox>(check_box), Qt::LeftButton);
}

void MainscreenTest::starts_idle() {
    AppState state;
    state.block_size = 3;
    state.skip_step = 7;
    state.file_count = 5;
    state.delete_originals = 1;
    Mainscreen window(state, *registry_, std::string());

    QVERIFY(state.window_title.starts_with("Ferrocase PRO - V1.60 "));
    QVERIFY(state.window_title.size() > std::string("Ferrocase PRO - V1.60 ").size());
    QCOMPARE(window.windowTitle(), QString::fromStdString(state.window_title));
    QCOMPARE(state.block_size, 10000);
    QCOMPARE(state.skip_step, 1);
    QCOMPARE(state.file_count, 0);
    QCOMPARE(state.delete_originals, 0);
    QCOMPARE(registry_->values.at(".fxe"), std::string("Ferrocase"));

    for (const char* name : {"ProgressBar1", "ProgressBar2"}) {
        QCOMPARE(window.findChild<PercentBar*>(name)->percent(), 0.0F);
    }
    for (const char* name : {"Check1", "Check2"}) {
        const auto* box = window.findChild<QCheckBox*>(name);
        QVERIFY(!box->isChecked());
        QVERIFY(box->isEnabled());
    }
    const auto* slider = window.findChild<QSlider*>("Slider1");
    QCOMPARE(slider->value(), 0);
    QCOMPARE(slider->minimum(), 0);
    QCOMPARE(slider->maximum(), 4);
    QCOMPARE(slider->pageStep(), 1);
    QCOMPARE(slider->tickPosition(), QSlider::TicksBothSides);
    const auto* timer = window.findChild<QTimer*>("Timer1");
    QVERIFY(!timer->isActive());
    QCOMPARE(timer->interval(), 350);
    QVERIFY(recorder_->messages.isEmpty());
}

void MainscreenTest::load_step_reads_the_command_line_data() {
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("command_line");
    QTest::addColumn<QString>("command_path");
    QTest::addRow("no arguments") << ""
                                  << ""
                                  << "";
    QTest::addRow("the desktop's open command") << "SHELL IN=\"/Data/Report.fxe\""
                                                << "shell in=\"/data/report.fxe\""
                                                << "/data/report.fxe";
    QTest::addRow("in= without shell") << "in=\"/x.fxe\""
                                       << "in=\"/x.fxe\""
                                       << "";
}

void MainscreenTest::load_step_reads_the_command_line() {
    QFETCH(QString, arguments);
    QFETCH(QString, command_line);
    QFETCH(QString, command_path);
    AppState state;
    Mainscreen window(state, *registry_, arguments.toStdString());
    QCOMPARE(QString::fromStdString(state.command_line), command_line);
    QCOMPARE(QString::fromStdString(state.command_path), command_path);
}

void MainscreenTest::controls_as_laid_out() {
    QCOMPARE(window_->centralWidget()->size(), QSize(406, 312));
    QCOMPARE(window_->minimumSize(), window_->maximumSize());
    QVERIFY(!(window_->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!window_->windowIcon().isNull());

    const auto* encrypt = control<QPushButton>("Command2");
    QCOMPARE(encrypt->geometry(), QRect(5, 230, 396, 31));
    QCOMPARE(encrypt->text(), QStringLiteral("&Encrypt/Decrypt File(s)"));
    QVERIFY(encrypt->font().bold());
    QCOMPARE(encrypt->font().pointSizeF(), 9.75);
    QCOMPARE(control<QPushButton>("Command1")->text(),
             QStringLiteral("&Browse and Select Files for Processing"));
    QCOMPARE(control<QPushButton>("Command1")->font().pointSizeF(), 8.25);
    const auto* skipping = control<QLabel>("Label4");
    QVERIFY(skipping->font().underline());
    QVERIFY(skipping->alignment() & Qt::AlignHCenter);
    QCOMPARE(control<QCheckBox>("Check1")->text(),
             QStringLiteral("Delete Original files after processing"));
    QCOMPARE(control<QCheckBox>("Check2")->text(), QStringLiteral("Allow Multiple Encryption"));
}

void MainscreenTest::captions_are_whole_data() {
    QTest::addColumn<QString>("face");
    QTest::addRow("the face the layout was measured with") << "Liberation Sans";
    QTest::addRow("Debian's default face, a wider one") << "DejaVu Sans";
}

void MainscreenTest::captions_are_whole() {
    QFETCH(QString, face);
    QFont::insertSubstitution(QStringLiteral("Helvetica"), face);
    const auto restore =
        qScopeGuard([] { QFont::removeSubstitutions(QStringLiteral("Helvetica")); });
    Mainscreen window(*state_, *registry_, std::string());
    for (const char* name :
         {"Command1", "Label1", "Label2", "Label4", "Check2", "Check1", "Command2"}) {
        const auto* captioned = window.findChild<QWidget*>(name);
        QCOMPARE(QFontInfo(captioned->font()).family(), face);
        QVERIFY2(captioned->sizeHint().width() <= captioned->width(),
                 qPrintable(QStringLiteral("%1 needs %2 pixels, has %3")
                                .arg(name)
                                .arg(captioned->sizeHint().width())
                                .arg(captioned->width())));
    }
}

void MainscreenTest::focus_cycles_in_tab_order() {
    show_active();
    QCOMPARE(QApplication::focusWidget(), control<QPushButton>("Command1"));
    QStringList order;
    for (int step = 0; step < 7; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, (QStringList{"Command2", "Text1", "Text2", "Slider1", "Check1", "Check2",
                                 "Command1"}));
}

void MainscreenTest::password_boxes() {
    auto* password = control<QLineEdit>("Text1");
    auto* verification = control<QLineEdit>("Text2");
    QCOMPARE(password->echoMode(), QLineEdit::Normal);
    QCOMPARE(verification->echoMode(), QLineEdit::Password);
    QCOMPARE(verification->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                              verification),
             int(u'*'));
    const QString typed(101, QLatin1Char('x'));
    QTest::keyClicks(password, typed);
    QTest::keyClicks(verification, typed);
    QCOMPARE(password->text().size(), 100);
    QCOMPARE(verification->text().size(), 100);
}

void MainscreenTest::ticking_Check1_locks_Check2_without_a_message() {
    auto* check2 = control<QCheckBox>("Check2");
    click("Check1");
    QVERIFY(!check2->isChecked());
    QVERIFY(!check2->isEnabled());
    click("Check1");
    QVERIFY(!check2->isChecked());
    QVERIFY(check2->isEnabled());
    QVERIFY(recorder_->messages.isEmpty());
}

void MainscreenTest::Check2_messages_come_in_order() {
    auto* check1 = control<QCheckBox>("Check1");
    QList<bool> check1_enabled_during_message;
    recorder_->on_message = [&](const QString&) {
        check1_enabled_during_message << check1->isEnabled();
    };

    click("Check2");
    QVERIFY(!check1->isEnabled());
    QVERIFY(!check1->isChecked());
    click("Check2");
    QVERIFY(check1->isEnabled());
    QVERIFY(!check1->isChecked());

    QCOMPARE(recorder_->texts(), (QStringList{check2_ticked_text, check2_unticked_text}));
    QCOMPARE(recorder_->messages[0].icon, MessageIcon::information);
    QCOMPARE(recorder_->messages[1].icon, MessageIcon::information);
    // The first message comes before Check1 is locked, the second after it is unlocked.
    QCOMPARE(check1_enabled_during_message, (QList<bool>{true, true}));
}

void MainscreenTest::locking_data() {
    QTest::addColumn<bool>("lock");
    QTest::addColumn<QString>("ticked");
    QTest::addColumn<bool>("check1_enabled");
    QTest::addColumn<bool>("check2_ticked");
    QTest::addColumn<bool>("check2_enabled");
    for (const bool lock : {true, false}) {
        const char* operation = lock ? "disable_form" : "enable_form";
        QTest::addRow("%s with no option ticked", operation) << lock << "" << true << false << true;
        QTest::addRow("%s with Check1 ticked", operation)
            << lock << "Check1" << true << false << true;
        QTest::addRow("%s with Check2 ticked", operation)
            << lock << "Check2" << false << true << true;
    }
}

void MainscreenTest::locking() {
    QFETCH(bool, lock);
    QFETCH(QString, ticked);
    QFETCH(bool, check1_enabled);
    QFETCH(bool, check2_ticked);
    QFETCH(bool, check2_enabled);
    if (!ticked.isEmpty()) {
        click(qPrintable(ticked));
    }
    if (lock) {
        window_->disable_form();
    } else {
        window_->disable_form();
        window_->enable_form();
    }

    for (const char* name : {"Text1", "Text2", "Command1", "Command2", "Slider1"}) {
        QCOMPARE(control<QWidget>(name)->isEnabled(), !lock);
    }
    QVERIFY(!control<QCheckBox>("Check1")->isChecked());
    QCOMPARE(control<QCheckBox>("Check1")->isEnabled(), check1_enabled);
    QCOMPARE(control<QCheckBox>("Check2")->isChecked(), check2_ticked);
    QCOMPARE(control<QCheckBox>("Check2")->isEnabled(), check2_enabled);
    QVERIFY(window_->isEnabled());
}

void MainscreenTest::right_button_opens_the_menu_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("opens");
    for (const char* name : {"client", "Label1", "Label2", "Label4", "Check1", "Check2", "Command1",
                             "Command2", "Slider1", "ProgressBar1"}) {
        QTest::addRow("right button over %s", name) << name << Qt::RightButton << true;
    }
    QTest::addRow("left button over Check1") << "Check1" << Qt::LeftButton << false;
    QTest::addRow("left button over the background") << "client" << Qt::LeftButton << false;
    for (const char* name : {"Text1", "Text2", "ProgressBar2"}) {
        QTest::addRow("right button over %s", name) << name << Qt::RightButton << false;
    }
}

void MainscreenTest::right_button_opens_the_menu() {
    QFETCH(QString, target);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, opens);
    show_active();
    auto* widget = control<QWidget>(qPrintable(target));
    // A corner of the client area that no control covers.
    const QPoint where = target == "client" ? QPoint(2, 2) : widget->rect().center();
    auto* menu = control<QMenu>("file");

    QTest::mousePress(widget, button, {}, where);
    QCOMPARE(menu->isVisible(), opens);
    menu->hide();
    QTest::mouseRelease(widget, button, {}, where);
}

void MainscreenTest::ctrl_a_shows_about_data() {
    QTest::addColumn<QString>("focus");
    QTest::addRow("focus on the browse button") << "Command1";
    QTest::addRow("focus in the password box") << "Text1";
}

void MainscreenTest::ctrl_a_shows_about() {
    QFETCH(QString, focus);
    show_active();
    auto* widget = control<QWidget>(qPrintable(focus));
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(recorder_->texts(),
             QStringList{QStringLiteral("Ferrocase PRO. Protects your files with a password. See "
                                        "Documentation for further details.")});
    QCOMPARE(recorder_->messages[0].icon, MessageIcon::information);
}

void MainscreenTest::alt_f_opens_the_file_menu() {
    show_active();
    auto* menu = control<QMenu>("file");
    QTest::keyClick(window_.get(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->actions().size(), 4);
    QCOMPARE(menu->actions()[0]->text(), QStringLiteral("&Strong Encryption (.fxs)"));
    QVERIFY(menu->actions()[0]->isCheckable());
    QVERIFY(menu->actions()[1]->isSeparator());
    QCOMPARE(menu->actions()[2]->text(), QStringLiteral("&About"));
    QCOMPARE(menu->actions()[3]->text(), QStringLiteral("&Quit"));

    // Every access key of the window is a key of its own.
    QStringList keys;
    for (const QString& caption :
         {menu->title(), control<QPushButton>("Command1")->text(),
          control<QPushButton>("Command2")->text(), menu->actions()[0]->text(),
          menu->actions()[2]->text(), menu->actions()[3]->text()}) {
        keys << QKeySequence::mnemonic(caption).toString();
    }
    QVERIFY(!keys.contains(QString()));
    QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());

    auto* strong = control<QAction>("strong");
    QTest::keyClick(menu, Qt::Key_S);
    QVERIFY(strong->isChecked());
    strong->trigger(); // the option is remembered: leave it off
}

void MainscreenTest::strong_option_is_remembered() {
    auto* option = control<QAction>("strong");
    QVERIFY(!option->isChecked());
    for (const bool wanted : {true, false}) {
        option->trigger();
        QCOMPARE(option->isChecked(), wanted);
        window_ = std::make_unique<Mainscreen>(*state_, *registry_, std::string());
        option = control<QAction>("strong");
        QCOMPARE(option->isChecked(), wanted);
    }
}

void MainscreenTest::timer_moves_the_bars_data() {
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<int>("file");
    QTest::addColumn<int>("files");
    QTest::addColumn<float>("bar1");
    QTest::addColumn<float>("bar2");
    // The bars start at 12.5 and 50, so a refused value shows as the old one.
    QTest::addRow("position 1 of a 10000-byte file, first of four")
        << qint64(1) << qint64(10000) << 1 << 4 << 0.01F << 25.0F;
    QTest::addRow("position 1 of 15000 bytes")
        << qint64(1) << qint64(15000) << 1 << 3 << 0.006667F << 33.333F;
    QTest::addRow("position 10001 of 15000 bytes, second of three")
        << qint64(10001) << qint64(15000) << 2 << 3 << 66.673F << 66.667F;
    QTest::addRow("past the end of the file is refused")
        << qint64(20001) << qint64(15000) << 3 << 3 << 12.5F << 100.0F;
    QTest::addRow("an empty file leaves the file bar")
        << qint64(1) << qint64(0) << 1 << 2 << 12.5F << 50.0F;
    QTest::addRow("an empty queue leaves the queue bar")
        << qint64(5000) << qint64(10000) << 0 << 0 << 50.0F << 50.0F;
}

void MainscreenTest::timer_moves_the_bars() {
    QFETCH(qint64, position);
    QFETCH(qint64, length);
    QFETCH(int, file);
    QFETCH(int, files);
    QFETCH(float, bar1);
    QFETCH(float, bar2);
    auto* file_bar = control<PercentBar>("ProgressBar1");
    auto* queue_bar = control<PercentBar>("ProgressBar2");
    file_bar->set_percent(12.5F);
    queue_bar->set_percent(50.0F);
    state_->file_position = position;
    state_->source_length = length;
    state_->current_file = file;
    state_->file_count = files;

    auto* timer = control<QTimer>("Timer1");
    QSignalSpy ticks(timer, &QTimer::timeout);
    timer->start();
    QVERIFY(ticks.wait(2000));
    timer->stop();

    QVERIFY2(qAbs(file_bar->percent() - bar1) < 0.001F,
             qPrintable(QString::number(file_bar->percent())));
    QVERIFY2(qAbs(queue_bar->percent() - bar2) < 0.001F,
             qPrintable(QString::number(queue_bar->percent())));
}

namespace {

// File managers offer the names as plain text beside the URLs.
void offer(QMimeData& data, const QList<QUrl>& urls) {
    data.setUrls(urls);
    QStringList names;
    for (const QUrl& url : urls) {
        names << url.toString();
    }
    data.setText(names.join(QLatin1Char('\n')));
}

bool send_drag_enter(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    offer(data, urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    return enter.isAccepted();
}

bool send_drop(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    offer(data, urls);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QString make_file(const QTemporaryDir& dir, const QString& name) {
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write("content");
    return file.fileName();
}

} // namespace

void MainscreenTest::dropped_files_join_the_queue() {
    QTemporaryDir dir;
    const QString first = make_file(dir, "b.txt");
    const QString second = make_file(dir, "a.fxe");
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    // A file manager sends a name that is not UTF-8 percent-encoded byte by byte; QTemporaryDir
    // could not remove it.
    const auto remove =
        qScopeGuard([&dir] { std::filesystem::remove_all(dir.path().toStdString()); });
    const QByteArray third = QFile::encodeName(dir.path()) + "/lat\xe9.fxe";
    QVERIFY(QFile(QFile::decodeName(third)).open(QIODevice::WriteOnly)); // a decoy, "lat\uFFFD.fxe"
    std::ofstream(third.toStdString()).put('x');
    const QList<QUrl> urls{QUrl::fromLocalFile(first), QUrl::fromLocalFile(dir.filePath("folder")),
                           QUrl::fromLocalFile(second),
                           QUrl::fromEncoded("file://" + third.toPercentEncoding("/"))};

    // Dropped onto the password box, the files still go to the queue.
    auto* password = control<QLineEdit>("Text1");
    QVERIFY(send_drag_enter(password, urls));
    QVERIFY(send_drop(password, urls));
    QVERIFY(password->text().isEmpty());
    QCOMPARE(state_->file_count, 3);
    QCOMPARE(QString::fromStdString(state_->file_queue.row(1).source.string()), first);
    QCOMPARE(QString::fromStdString(state_->file_queue.row(2).source.string()), second);
    QCOMPARE(QByteArray::fromStdString(state_->file_queue.row(3).source.native()), third);
    QCOMPARE(window_->windowTitle(), QStringLiteral("Files to Process:3"));

    // A second drop adds to the queue; another name for a queued file is not queued again.
    const QString fourth = make_file(dir, "d.txt");
    QVERIFY(QFile::link(first, dir.filePath("link to b.txt")));
    std::filesystem::create_hard_link(second.toStdString(), dir.filePath("a2.fxe").toStdString());
    const QList<QUrl> more{QUrl::fromLocalFile(dir.filePath("link to b.txt")),
                           QUrl::fromLocalFile(fourth), QUrl::fromLocalFile(dir.filePath("a2.fxe")),
                           QUrl::fromLocalFile(fourth)};
    QVERIFY(send_drag_enter(password, more));
    QVERIFY(send_drop(password, more));
    QCOMPARE(state_->file_count, 4);
    QCOMPARE(QString::fromStdString(state_->file_queue.row(1).source.string()), first);
    QCOMPARE(QString::fromStdString(state_->file_queue.row(4).source.string()), fourth);
    QCOMPARE(window_->windowTitle(), QStringLiteral("Files to Process:4"));
}

void MainscreenTest::drops_without_files_or_during_a_run_are_refused() {
    QTemporaryDir dir;
    const QString file = make_file(dir, "c.txt");
    const QString title = window_->windowTitle();
    QVERIFY(!send_drag_enter(window_.get(), {QUrl("https://example.org/c.txt")}));

    state_->run_in_progress = true;
    state_->file_count = 1;
    state_->file_queue.row(1).source = "/queued/by/the/run";
    QVERIFY(!send_drag_enter(window_.get(), {QUrl::fromLocalFile(file)}));
    QVERIFY(!send_drop(window_.get(), {QUrl::fromLocalFile(file)}));
    QCOMPARE(state_->file_count, 1);
    QCOMPARE(state_->file_queue.row(1).source, std::filesystem::path("/queued/by/the/run"));
    QCOMPARE(window_->windowTitle(), title);
}

void MainscreenTest::documents_opened_while_choosing_follow_the_choice() {
    QTemporaryDir dir;
    const std::filesystem::path document = make_file(dir, "a.fxe").toStdString();
    show_active();
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    window_->open_documents({document});
    QCOMPARE(state_->file_count, 0);

    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto chooser = std::find_if(windows.begin(), windows.end(), [](QWidget* widget) {
        return qobject_cast<frmdirtree*>(widget) && widget->isVisible();
    });
    QVERIFY(chooser != windows.end());
    (*chooser)->close();
    QTRY_COMPARE(state_->file_count, 1);
    QVERIFY(state_->file_queue.row(1).source == document);
    QCOMPARE(window_->windowTitle(), QStringLiteral("Files to Process:1"));
}

void MainscreenTest::browse_opens_the_chooser_and_disables_the_window() {
    show_active();
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(window_->windowTitle(), QStringLiteral("Files to Process: 0"));
    QVERIFY(!window_->isEnabled());

    frmdirtree* chooser = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<frmdirtree*>(widget); found && found->isVisible()) {
            chooser = found;
        }
    }
    QVERIFY(chooser);
    QTest::mouseClick(chooser->Command2, Qt::LeftButton);
    QVERIFY(window_->isEnabled());
    QCOMPARE(window_->windowTitle(), QStringLiteral("Files to Process: 0"));
}

void MainscreenTest::quit_while_idle_closes_the_window() {
    show_active();
    control<QAction>("quit")->trigger();
    QVERIFY(!window_->isVisible());
    QVERIFY(recorder_->messages.isEmpty());
}

QTEST_MAIN(MainscreenTest)
#include "tst_mainscreen.moc"
