#include "ui/chooser_directory_list.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>

namespace ferrocase {

namespace {

constexpr int path_role = Qt::UserRole;

} // namespace

ChooserDirectoryList::ChooserDirectoryList(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setIndentation(12);
    // Not itemActivated: with a style that activates on a single click, merely highlighting a
    // directory would open it.
    connect(this, &QTreeWidget::itemDoubleClicked, this, &ChooserDirectoryList::open_item);
}

void ChooserDirectoryList::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        open_item(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void ChooserDirectoryList::open_item(QTreeWidgetItem* item) {
    setPath(item->data(0, path_role).toString());
}

bool ChooserDirectoryList::setPath(const QString& path) {
    const QFileInfo directory(path);
    if (path.isEmpty() || !directory.isDir() || !directory.isReadable()) {
        return false;
    }
    const QString opened = QDir::cleanPath(directory.absoluteFilePath());
    if (opened == path_) {
        return true;
    }
    path_ = opened;
    show_open_directory();
    emit pathChanged(path_);
    return true;
}

void ChooserDirectoryList::show_open_directory() {
    clear();
    const QIcon open_icon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed_icon = style()->standardIcon(QStyle::SP_DirClosedIcon);

    QStringList parts = path_.split('/', Qt::SkipEmptyParts);
    QString walked = path_.startsWith('/') ? QStringLiteral("/") : parts.takeFirst() + '/';
    auto* item = new QTreeWidgetItem(this, {QDir::toNativeSeparators(walked)});
    item->setIcon(0, open_icon);
    item->setData(0, path_role, walked);
    for (const QString& part : parts) {
        walked = QDir::cleanPath(walked + '/' + part);
        item = new QTreeWidgetItem(item, {part});
        item->setIcon(0, open_icon);
        item->setData(0, path_role, walked);
    }
    QTreeWidgetItem* const open_directory = item;

    const QDir listing(path_);
    for (const QString& name :
         listing.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* subdirectory = new QTreeWidgetItem(open_directory, {name});
        subdirectory->setIcon(0, closed_icon);
        subdirectory->setData(0, path_role, listing.filePath(name));
    }
    expandAll();
    setCurrentItem(open_directory);
}

} // namespace ferrocase
