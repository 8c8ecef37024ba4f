#include "ui/chooser_drive_list.h"

#include <QDir>
#include <QStorageInfo>
#include <algorithm>

namespace ferrocase {

ChooserDriveList::ChooserDriveList(QWidget* parent) : QComboBox(parent) {
    QStringList roots{QDir::rootPath()};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && !roots.contains(volume.rootPath())) {
            roots << volume.rootPath();
        }
    }
    std::sort(roots.begin() + 1, roots.end());
    for (const QString& root : roots) {
        addItem(QDir::toNativeSeparators(root), root);
    }
}

QString ChooserDriveList::rootPath() const {
    return currentData().toString();
}

void ChooserDriveList::selectVolumeOf(const QString& path) {
    const int index = findData(QStorageInfo(path).rootPath());
    if (index >= 0) {
        setCurrentIndex(index);
    }
}

} // namespace ferrocase
