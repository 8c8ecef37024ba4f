#include "ui/mainscreen.h"

#include <QAction>
#include <QMenu>
#include <QSettings>

namespace ferrocase {
namespace {

const QString strong_setting = QStringLiteral("strong_encryption");

// The program's one remembered choice.
QSettings settings_file() {
    return QSettings(QStringLiteral("Ferrocase"), QStringLiteral("Ferrocase"));
}

} // namespace

// Off by default, so that the window and every ".fxe" file behave as they always have. A run
// reads it before every file, like "Allow Multiple Encryption". Its access key, S, is taken by
// no other caption of the window.
void Mainscreen::add_strong_option() {
    strong = file->addAction(tr("&Strong Encryption (.fxs)"));
    strong->setObjectName(QStringLiteral("strong"));
    strong->setCheckable(true);
    strong->setChecked(settings_file().value(strong_setting, false).toBool());
    connect(strong, &QAction::toggled, this,
            [](bool checked) { settings_file().setValue(strong_setting, checked); });
    file->addSeparator();
}

} // namespace ferrocase
