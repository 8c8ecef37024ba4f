#include "ui/chooser_file_list.h"

#include "ui/native_path.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace ferrocase {

namespace {

constexpr int native_name_role = Qt::UserRole;

struct Entry {
    QString shown;
    std::string name;
};

// Listed from the file system's own bytes: a name that is not valid UTF-8 has no exact QString.
std::vector<Entry> files_of(const std::filesystem::path& directory) {
    std::vector<Entry> entries;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().native();
        std::error_code ignored;
        if (!name.starts_with('.') && it->is_regular_file(ignored)) {
            entries.push_back({from_native_path(name), name});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.shown.compare(b.shown, Qt::CaseInsensitive) < 0;
    });
    return entries;
}

} // namespace

ChooserFileList::ChooserFileList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void ChooserFileList::setPath(const std::filesystem::path& path) {
    path_ = from_native_path(path);
    clear();
    for (const Entry& entry : files_of(path)) {
        auto* item = new QListWidgetItem(entry.shown, this);
        item->setData(native_name_role, QByteArray::fromStdString(entry.name));
    }
}

std::string ChooserFileList::native_name(const QListWidgetItem* entry) {
    return entry->data(native_name_role).toByteArray().toStdString();
}

} // namespace ferrocase
