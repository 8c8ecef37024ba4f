#include "ui/chooser_directory_list.h"
#include "ui/chooser_drive_list.h"
#include "ui/chooser_file_list.h"
#include "ui/frmdirtree.h"
#include "ui/module1.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <fstream>

using namespace ferrocase;

namespace {

// A real double-click: a first click, then the press that the system reports as a double-click.
void double_click(QWidget* viewport, QPoint position) {
    QTest::mouseClick(viewport, Qt::LeftButton, {}, position);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, position);
}

} // namespace

class ChooserTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void opens_at_the_current_directory();
    void keyboard_focus_starts_at_the_drive_list_and_follows_the_tab_order();
    void accept_queues_the_selection_in_list_order_data();
    void accept_queues_the_selection_in_list_order();
    void one_separator_between_directory_and_name_data();
    void one_separator_between_directory_and_name();
    void a_double_click_accepts_the_entry_double_clicked();
    void a_name_that_is_not_utf8_is_queued_as_its_bytes();
    void a_reopened_chooser_starts_afresh_and_overwrites_only_its_rows();
    void cancel_empties_the_queue_and_keeps_the_title();
    void closing_through_the_frame_acts_as_cancel();
    void enter_opens_the_highlighted_directory();
    void a_volume_that_cannot_be_read_leaves_the_lists();
    void the_chooser_goes_with_the_main_window();
    void a_run_in_progress_keeps_its_queue_data();
    void a_run_in_progress_keeps_its_queue();
    void set_always_on_top_keeps_position_and_size();

private:
    // What the main window's browse button does.
    frmdirtree* open_chooser();
    QStringList queued_sources() const;
    void click_file(const QString& name, Qt::KeyboardModifiers modifiers = {});
    void double_click_directory(const QString& name);
    void wait_until_closed();

    QTemporaryDir folder_;
    QString previous_directory_;
    AppState state_;
    std::unique_ptr<QWidget> main_window_;
    QPointer<frmdirtree> chooser_;
};

void ChooserTest::initTestCase() {
    QVERIFY(folder_.isValid());
    const QDir folder(folder_.path());
    for (const char* name : {"c.txt", "a.txt", "E.txt", "b.txt", "d.txt", ".hidden", "sub/x.txt",
                             "sub/y.txt", ".git/config"}) {
        QVERIFY(folder.mkpath(QFileInfo(folder.filePath(name)).path()));
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    previous_directory_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder_.path()));
}

void ChooserTest::cleanupTestCase() {
    QDir::setCurrent(previous_directory_);
    // QTemporaryDir cannot remove a name that is not UTF-8.
    std::filesystem::remove_all(QFile::encodeName(folder_.path()).toStdString());
}

void ChooserTest::init() {
    state_ = AppState{};
    main_window_ = std::make_unique<QWidget>();
    main_window_->setWindowTitle("Ferrocase PRO - V1.60");
    main_window_->show();
}

void ChooserTest::cleanup() {
    delete chooser_;
    main_window_.reset();
}

frmdirtree* ChooserTest::open_chooser() {
    main_window_->setWindowTitle("Files to Process: 0");
    chooser_ = new frmdirtree(state_, main_window_.get());
    chooser_->show();
    main_window_->setEnabled(false);
    return chooser_;
}

QStringList ChooserTest::queued_sources() const {
    QStringList sources;
    for (std::int32_t row = 1; row <= state_.file_count; ++row) {
        sources << QString::fromStdString(state_.file_queue.row(row).source.string());
    }
    return sources;
}

void ChooserTest::click_file(const QString& name, Qt::KeyboardModifiers modifiers) {
    const auto found = chooser_->File1->findItems(name, Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    QTest::mouseClick(chooser_->File1->viewport(), Qt::LeftButton, modifiers,
                      chooser_->File1->visualItemRect(found.first()).center());
}

void ChooserTest::double_click_directory(const QString& name) {
    const auto found = chooser_->Dir1->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    double_click(chooser_->Dir1->viewport(),
                 chooser_->Dir1->visualItemRect(found.first()).center());
}

void ChooserTest::wait_until_closed() {
    QTRY_VERIFY(chooser_.isNull());
    QVERIFY(main_window_->isEnabled());
}

void ChooserTest::opens_at_the_current_directory() {
    open_chooser();

    QCOMPARE(chooser_->windowTitle(), QString("Locate File"));
    QCOMPARE(chooser_->Dir1->path(), QDir::currentPath());
    QCOMPARE(chooser_->Drive1->rootPath(), QStorageInfo(QDir::currentPath()).rootPath());
    QCOMPARE(chooser_->Drive1->itemData(0).toString(), QDir::rootPath());
    QCOMPARE(chooser_->File1->path(), QDir::currentPath());
    QStringList files;
    for (int i = 0; i < chooser_->File1->count(); ++i) {
        files << chooser_->File1->item(i)->text();
    }
    QCOMPARE(files, (QStringList{"a.txt", "b.txt", "c.txt", "d.txt", "E.txt"}));
    QCOMPARE(chooser_->File1->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(chooser_->Dir1->findItems("sub", Qt::MatchExactly | Qt::MatchRecursive).size(), 1);
    QVERIFY(chooser_->Dir1->findItems(".git", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
    QVERIFY(chooser_->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(main_window_->windowTitle(), QString("Files to Process: 0"));
    QCOMPARE(state_.file_count, 0);
}

void ChooserTest::keyboard_focus_starts_at_the_drive_list_and_follows_the_tab_order() {
    open_chooser();

    QCOMPARE(chooser_->focusWidget(), chooser_->Drive1);
    QList<QWidget*> order{chooser_->Drive1};
    for (QWidget* next = chooser_->Drive1->nextInFocusChain(); next != chooser_->Drive1;
         next = next->nextInFocusChain()) {
        if (next->focusPolicy() & Qt::TabFocus) {
            order << next;
        }
    }
    const QList<QWidget*> expected{chooser_->Drive1, chooser_->Dir1, chooser_->Command1,
                                   chooser_->Command2, chooser_->File1};
    QCOMPARE(order, expected);
    QVERIFY(!chooser_->Command1->isDefault() && !chooser_->Command1->autoDefault());
    QVERIFY(!chooser_->Command2->isDefault() && !chooser_->Command2->autoDefault());
}

void ChooserTest::accept_queues_the_selection_in_list_order_data() {
    QTest::addColumn<QStringList>("clicks"); // "^" marks Ctrl+click, "+" Shift+click
    QTest::addColumn<QStringList>("queued");

    QTest::addRow("third, first, second land in list order")
        << QStringList{"c.txt", "^a.txt", "^b.txt"} << QStringList{"a.txt", "b.txt", "c.txt"};
    QTest::addRow("a shift-click selects a range")
        << QStringList{"b.txt", "+d.txt"} << QStringList{"b.txt", "c.txt", "d.txt"};
    QTest::addRow("a ctrl-click takes one entry back")
        << QStringList{"a.txt", "+c.txt", "^b.txt"} << QStringList{"a.txt", "c.txt"};
    QTest::addRow("a plain click clears the others")
        << QStringList{"a.txt", "^b.txt", "E.txt"} << QStringList{"E.txt"};
    QTest::addRow("nothing selected empties the queue") << QStringList{} << QStringList{};
}

void ChooserTest::accept_queues_the_selection_in_list_order() {
    QFETCH(QStringList, clicks);
    QFETCH(QStringList, queued);

    state_.file_count = 4;
    open_chooser();
    for (const QString& click : clicks) {
        const Qt::KeyboardModifiers modifiers = click.startsWith('^')   ? Qt::ControlModifier
                                                : click.startsWith('+') ? Qt::ShiftModifier
                                                                        : Qt::NoModifier;
        click_file(modifiers == Qt::NoModifier ? click : click.mid(1), modifiers);
    }
    QTest::mouseClick(chooser_->Command1, Qt::LeftButton);
    wait_until_closed();

    QStringList expected;
    for (const QString& name : queued) {
        expected << folder_.path() + '/' + name;
    }
    QCOMPARE(queued_sources(), expected);
    QCOMPARE(main_window_->windowTitle(), QString("Files to Process:%1").arg(queued.size()));
    for (std::int32_t row = 1; row <= state_.file_count; ++row) {
        QVERIFY(state_.file_queue.row(row).destination.empty());
    }
}

void ChooserTest::one_separator_between_directory_and_name_data() {
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("path");

    QTest::addRow("the root already ends in one") << "/"
                                                  << "/a.txt";
    QTest::addRow("a directory gets one") << "/data"
                                          << "/data/a.txt";
    QTest::addRow("a directory that ends in one keeps it") << "/data/"
                                                           << "/data/a.txt";
}

void ChooserTest::one_separator_between_directory_and_name() {
    QFETCH(QString, directory);
    QFETCH(QString, path);

    QCOMPARE(QString::fromStdString(chooser_file_path(directory.toStdString(), "a.txt").string()),
             path);
}

void ChooserTest::a_double_click_accepts_the_entry_double_clicked() {
    open_chooser();
    click_file("a.txt");
    click_file("b.txt", Qt::ControlModifier);

    const auto target = chooser_->File1->findItems("d.txt", Qt::MatchExactly).first();
    double_click(chooser_->File1->viewport(), chooser_->File1->visualItemRect(target).center());
    wait_until_closed();

    QCOMPARE(queued_sources(), QStringList{folder_.path() + "/d.txt"});
    QCOMPARE(main_window_->windowTitle(), QString("Files to Process:1"));
}

void ChooserTest::a_name_that_is_not_utf8_is_queued_as_its_bytes() {
    const std::string folder = QFile::encodeName(folder_.path()).toStdString() + "/b\xfdtes";
    std::filesystem::create_directory(folder);
    std::ofstream(folder + "/lat\xe9.fxe").put('x');
    open_chooser();
    double_click_directory(QFile::decodeName("b\xfdtes"));
    QCOMPARE(chooser_->File1->count(), 1);
    double_click(chooser_->File1->viewport(),
                 chooser_->File1->visualItemRect(chooser_->File1->item(0)).center());
    wait_until_closed();

    QCOMPARE(state_.file_count, 1);
    QCOMPARE(state_.file_queue.row(1).source.native(), folder + "/lat\xe9.fxe");
}

void ChooserTest::a_reopened_chooser_starts_afresh_and_overwrites_only_its_rows() {
    open_chooser();
    click_file("a.txt");
    click_file("E.txt", Qt::ShiftModifier);
    QTest::mouseClick(chooser_->Command1, Qt::LeftButton);
    wait_until_closed();
    QCOMPARE(state_.file_count, 5);

    open_chooser();
    QCOMPARE(chooser_->Dir1->path(), QDir::currentPath());
    QVERIFY(chooser_->File1->selectedItems().isEmpty());
    double_click_directory("sub");
    QCOMPARE(chooser_->Dir1->path(), folder_.path() + "/sub");
    QCOMPARE(chooser_->File1->count(), 2);
    click_file("x.txt");
    click_file("y.txt", Qt::ShiftModifier);
    QTest::mouseClick(chooser_->Command1, Qt::LeftButton);
    wait_until_closed();

    QCOMPARE(queued_sources(),
             (QStringList{folder_.path() + "/sub/x.txt", folder_.path() + "/sub/y.txt"}));
    QCOMPARE(state_.file_queue.row(3).source.string(), (folder_.path() + "/c.txt").toStdString());
    QCOMPARE(state_.file_queue.row(5).source.string(), (folder_.path() + "/E.txt").toStdString());

    open_chooser();
    QCOMPARE(chooser_->Dir1->path(), QDir::currentPath());
    QCOMPARE(chooser_->File1->count(), 5);
}

void ChooserTest::cancel_empties_the_queue_and_keeps_the_title() {
    open_chooser();
    click_file("a.txt");
    click_file("b.txt", Qt::ShiftModifier);
    QTest::mouseClick(chooser_->Command1, Qt::LeftButton);
    wait_until_closed();
    QCOMPARE(state_.file_count, 2);

    open_chooser();
    click_file("c.txt");
    QTest::mouseClick(chooser_->Command2, Qt::LeftButton);
    wait_until_closed();

    QCOMPARE(state_.file_count, 0);
    QCOMPARE(main_window_->windowTitle(), QString("Files to Process: 0"));
    QCOMPARE(state_.file_queue.row(1).source.string(), (folder_.path() + "/a.txt").toStdString());
}

void ChooserTest::closing_through_the_frame_acts_as_cancel() {
    state_.file_count = 3;
    open_chooser();
    click_file("c.txt");

    QVERIFY(chooser_->windowHandle()->close());
    wait_until_closed();

    QCOMPARE(state_.file_count, 0);
    QCOMPARE(main_window_->windowTitle(), QString("Files to Process: 0"));
}

void ChooserTest::enter_opens_the_highlighted_directory() {
    open_chooser();
    const auto directory = [this](const QString& name) {
        return chooser_->Dir1->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    };

    chooser_->Dir1->setCurrentItem(directory("sub"));
    QCOMPARE(chooser_->File1->path(), folder_.path());
    QTest::keyClick(chooser_->Dir1, Qt::Key_Return);
    QCOMPARE(chooser_->Dir1->path(), folder_.path() + "/sub");
    QCOMPARE(chooser_->File1->path(), folder_.path() + "/sub");

    chooser_->Dir1->setCurrentItem(directory(QFileInfo(folder_.path()).fileName()));
    QTest::keyClick(chooser_->Dir1, Qt::Key_Enter);
    QCOMPARE(chooser_->Dir1->path(), folder_.path());
    QCOMPARE(chooser_->File1->count(), 5);
}

void ChooserTest::a_volume_that_cannot_be_read_leaves_the_lists() {
    open_chooser();
    double_click_directory("sub");
    const QString opened = chooser_->Dir1->path();

    chooser_->Drive1->addItem("/no/such/volume", "/no/such/volume");
    chooser_->Drive1->setCurrentIndex(chooser_->Drive1->count() - 1);

    QCOMPARE(chooser_->Drive1->rootPath(), QString("/no/such/volume"));
    QCOMPARE(chooser_->Dir1->path(), opened);
    QCOMPARE(chooser_->File1->path(), opened);
    QCOMPARE(chooser_->File1->count(), 2);

    chooser_->Drive1->setCurrentIndex(0);
    QCOMPARE(chooser_->Dir1->path(), QDir::rootPath());
    QCOMPARE(chooser_->File1->path(), QDir::rootPath());
}

void ChooserTest::the_chooser_goes_with_the_main_window() {
    open_chooser();
    main_window_.reset();
    QTRY_VERIFY(chooser_.isNull());
}

void ChooserTest::a_run_in_progress_keeps_its_queue_data() {
    QTest::addColumn<QString>("leave_by");

    QTest::addRow("OK") << "ok";
    QTest::addRow("Cancel") << "cancel";
    QTest::addRow("the window frame") << "frame";
}

// The main window refuses to open the chooser during a run; should one be open anyway, the run
// keeps the queue it is working through.
void ChooserTest::a_run_in_progress_keeps_its_queue() {
    QFETCH(QString, leave_by);
    state_.file_queue.row(1).source = "/queued/one";
    state_.file_queue.row(2).source = "/queued/two";
    state_.file_count = 2;
    open_chooser();
    state_.run_in_progress = true;
    click_file("a.txt");

    if (leave_by == "ok") {
        QTest::mouseClick(chooser_->Command1, Qt::LeftButton);
    } else if (leave_by == "cancel") {
        QTest::mouseClick(chooser_->Command2, Qt::LeftButton);
    } else {
        chooser_->windowHandle()->close();
    }
    wait_until_closed();

    QCOMPARE(queued_sources(), (QStringList{"/queued/one", "/queued/two"}));
}

void ChooserTest::set_always_on_top_keeps_position_and_size() {
    QWidget window;
    window.setGeometry(140, 120, 300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect placed = window.geometry();

    std::int16_t flag = 1;
    set_always_on_top(window, flag);
    QCOMPARE(flag, std::int16_t{1});
    QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window.isVisible());
    QCOMPARE(window.geometry(), placed);

    flag = 0;
    set_always_on_top(window, flag);
    QCOMPARE(flag, std::int16_t{1});
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window.isVisible());
    QCOMPARE(window.geometry(), placed);
}

QTEST_MAIN(ChooserTest)
#include "tst_chooser.moc"
