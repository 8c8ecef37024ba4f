#include "ui/chooser_directory_list.h"

#include "ui/native_path.h"

#include <QDir>
#include <QKeyEvent>
#include <QStyle>
#include <algorithm>
#include <system_error>
#include <vector>

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
    setNativePath(item->data(0, path_role).toByteArray().toStdString());
}

bool ChooserDirectoryList::setPath(const QString& path) {
    return !path.isEmpty() && setNativePath(to_native_path(path));
}

// Works on the file system's own bytes: a name that is not valid UTF-8 has no exact QString.
bool ChooserDirectoryList::setNativePath(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path opened = std::filesystem::absolute(path, error).lexically_normal();
    if (!opened.has_filename() && opened != opened.root_path()) {
        opened = opened.parent_path();
    }
    if (error || !std::filesystem::is_directory(opened, error)) {
        return false;
    }
    const std::filesystem::directory_iterator readable(opened, error);
    if (error) {
        return false;
    }
    if (opened == native_path_) {
        return true;
    }
    native_path_ = opened;
    path_ = from_native_path(opened);
    show_open_directory();
    emit pathChanged(path_);
    return true;
}

void ChooserDirectoryList::show_open_directory() {
    clear();
    const QIcon open_icon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed_icon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const auto add = [](QTreeWidgetItem* item, const std::filesystem::path& path,
                        const QIcon& icon) {
        item->setIcon(0, icon);
        item->setData(0, path_role, QByteArray::fromStdString(path.native()));
        return item;
    };

    std::filesystem::path walked = native_path_.root_path();
    auto* item =
        add(new QTreeWidgetItem(this, {QDir::toNativeSeparators(from_native_path(walked))}), walked,
            open_icon);
    for (const std::filesystem::path& part : native_path_.relative_path()) {
        walked /= part;
        item = add(new QTreeWidgetItem(item, {from_native_path(part)}), walked, open_icon);
    }
    QTreeWidgetItem* const open_directory = item;

    std::vector<std::filesystem::path> subdirectories;
    std::error_code error;
    for (std::filesystem::directory_iterator it(native_path_, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (!it->path().filename().native().starts_with('.') && it->is_directory(ignored)) {
            subdirectories.push_back(it->path());
        }
    }
    std::sort(subdirectories.begin(), subdirectories.end(), [](const auto& a, const auto& b) {
        return from_native_path(a.filename())
                   .compare(from_native_path(b.filename()), Qt::CaseInsensitive) < 0;
    });
    for (const std::filesystem::path& subdirectory : subdirectories) {
        add(new QTreeWidgetItem(open_directory, {from_native_path(subdirectory.filename())}),
            subdirectory, closed_icon);
    }
    expandAll();
    setCurrentItem(open_directory);
}

} // namespace ferrocase
