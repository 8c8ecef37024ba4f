#include "ui/mainscreen.h"
#include "ui/message_box.h"
#include "ui/percent_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <initializer_list>

namespace ferrocase {

void Mainscreen::build_menu() {
    file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("file"));
    add_strong_option();
    about = file->addAction(tr("&About"), this, &Mainscreen::about_Click);
    about->setObjectName(QStringLiteral("about"));
    about->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    quit = file->addAction(tr("&Quit"), this, &Mainscreen::quit_Click);
    quit->setObjectName(QStringLiteral("quit"));

    for (QObject* control :
         std::initializer_list<QObject*>{centralWidget(), Label1, Label2, Label4, Check1, Check2,
                                         Command1, Command2, Slider1, ProgressBar1, Text1, Text2}) {
        control->installEventFilter(this);
    }
}

void Mainscreen::about_Click() {
    show_message(this,
                 tr("Ferrocase PRO. Protects your files with a password. See Documentation for "
                    "further details."),
                 MessageIcon::information);
}

void Mainscreen::quit_Click() {
    request_quit();
}

bool Mainscreen::opens_popup_menu(QObject* watched, QMouseEvent* press) const {
    if (press->button() != Qt::RightButton) {
        return false;
    }
    if (watched == Text1 || watched == Text2) {
        return false;
    }
    // The background also receives presses that the controls above it pass on.
    if (watched == centralWidget()) {
        return centralWidget()->childAt(press->position().toPoint()) == nullptr;
    }
    return true;
}

bool Mainscreen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(event);
        if (opens_popup_menu(watched, press)) {
            file->popup(press->globalPosition().toPoint());
            return true;
        }
    }
    // Ctrl+A is About everywhere in the window, the password boxes included.
    if (event->type() == QEvent::ShortcutOverride && (watched == Text1 || watched == Text2)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (QKeySequence(key->keyCombination()) == about->shortcut()) {
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace ferrocase
