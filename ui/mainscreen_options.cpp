#include "ui/mainscreen.h"
#include "ui/message_box.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace ferrocase {

// The two options are never on together: ticking one unticks and locks the other.
void Mainscreen::Check1_Click(bool ticked) {
    Check2->setChecked(false);
    Check2->setEnabled(!ticked);
}

void Mainscreen::Check2_Click(bool ticked) {
    if (ticked) {
        show_message(this,
                     tr("By Enabling this option, the file-extension will not be used, therefore "
                        "you can re-encrypt encrypted files with additional passwords. To unlock, "
                        "the passwords must be re-entered in reverse order."),
                     MessageIcon::information);
        Check1->setEnabled(false);
        Check1->setChecked(false);
    } else {
        Check1->setEnabled(true);
        Check1->setChecked(false);
        show_message(this,
                     tr("By not Enabling this option, the file-extension will be used for "
                        "Ferrocase to recognise encryption/decryption."),
                     MessageIcon::information);
    }
}

// "Allow Multiple Encryption" stays usable during a run: the run reads it before every file.
void Mainscreen::disable_form() {
    for (QWidget* control : {static_cast<QWidget*>(Text1), static_cast<QWidget*>(Text2),
                             static_cast<QWidget*>(Command1), static_cast<QWidget*>(Command2)}) {
        control->setEnabled(false);
    }
    Slider1->setEnabled(false);
    Check1->setEnabled(!Check2->isChecked());
    Check1->setChecked(false);
    QCoreApplication::processEvents();
}

void Mainscreen::enable_form() {
    for (QWidget* control : {static_cast<QWidget*>(Text1), static_cast<QWidget*>(Text2),
                             static_cast<QWidget*>(Command1), static_cast<QWidget*>(Command2)}) {
        control->setEnabled(true);
    }
    Slider1->setEnabled(true);
    Check1->setEnabled(!Check2->isChecked());
    Check1->setChecked(false);
    QCoreApplication::processEvents();
}

} // namespace ferrocase
