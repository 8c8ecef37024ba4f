#include "ui/mainscreen_batch_window.h"

#include "shell/trash.h"
#include "ui/mainscreen.h"
#include "ui/message_box.h"
#include "ui/percent_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>

namespace ferrocase {

MainscreenBatchWindow::~MainscreenBatchWindow() {
    set_busy_pointer(false);
}

std::u32string MainscreenBatchWindow::Text1_text() const {
    return screen_.Text1->text().toStdU32String();
}

std::u32string MainscreenBatchWindow::Text2_text() const {
    return screen_.Text2->text().toStdU32String();
}

int MainscreenBatchWindow::Check1_value() const {
    return screen_.Check1->isChecked() ? 1 : 0;
}

int MainscreenBatchWindow::Check2_value() const {
    return screen_.Check2->isChecked() ? 1 : 0;
}

int MainscreenBatchWindow::Slider1_value() const {
    return screen_.Slider1->value();
}

int MainscreenBatchWindow::strong_encryption_value() const {
    return screen_.strong->isChecked() ? 1 : 0;
}

void MainscreenBatchWindow::set_Timer1_enabled(bool enabled) {
    if (enabled) {
        screen_.Timer1->start();
    } else {
        screen_.Timer1->stop();
    }
}

void MainscreenBatchWindow::set_ProgressBar1(float percent) {
    screen_.ProgressBar1->set_percent(percent);
}

void MainscreenBatchWindow::set_ProgressBar2(float percent) {
    screen_.ProgressBar2->set_percent(percent);
}

void MainscreenBatchWindow::set_title(const std::string& title) {
    screen_.setWindowTitle(QString::fromStdString(title));
}

void MainscreenBatchWindow::enable_window() {
    screen_.setEnabled(true);
}

void MainscreenBatchWindow::set_busy_pointer(bool busy) {
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

void MainscreenBatchWindow::show_message(const std::string& text, MessageIcon icon) {
    ferrocase::show_message(&screen_, QString::fromStdString(text), icon);
}

ReplaceAnswer MainscreenBatchWindow::ask_to_replace(const std::string& text) {
    return ferrocase::ask_to_replace(&screen_, QString::fromStdString(text));
}

bool MainscreenBatchWindow::ask_question(const std::string& text) {
    return ferrocase::ask_question(&screen_, QString::fromStdString(text));
}

void MainscreenBatchWindow::yield() {
    QCoreApplication::processEvents();
}

Yield MainscreenBatchWindow::block_yield() {
    return [this] { frame_yield_(); };
}

void MainscreenBatchWindow::disable_form() {
    screen_.disable_form();
}

void MainscreenBatchWindow::enable_form() {
    screen_.enable_form();
}

bool MainscreenBatchWindow::quit_requested() const {
    return screen_.quit_requested_;
}

// A wrong password cannot be detected, so the source goes to the trash, from where it can be
// restored; a file that the trash cannot take is kept.
std::error_code MainscreenBatchWindow::remove_original(const std::filesystem::path& path) {
    return move_to_trash(path);
}

} // namespace ferrocase
