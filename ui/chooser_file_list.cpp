#include "ui/chooser_file_list.h"

#include <QDir>

namespace ferrocase {

ChooserFileList::ChooserFileList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void ChooserFileList::setPath(const QString& path) {
    path_ = path;
    clear();
    addItems(QDir(path).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

} // namespace ferrocase
