#include "batch/queue_selection.h"
#include "ui/dropped_files.h"
#include "ui/folder_listing.h"
#include "ui/mainscreen.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <set>

namespace ferrocase {

namespace {

// What a drop would queue: files, or folders whose files are listed on dropping.
bool offers_files_or_folders(const QList<QUrl>& urls) {
    return !dropped_files(urls).empty() || !dropped_folders(urls).empty();
}

// The dropped files, then those below the dropped folders, each once.
std::vector<std::filesystem::path> files_of_drop(QWidget* parent, const QList<QUrl>& urls) {
    auto files = dropped_files(urls);
    const auto folders = dropped_folders(urls);
    if (folders.empty()) {
        return files;
    }
    std::set<std::filesystem::path> seen(files.begin(), files.end());
    for (auto& file : files_in_dropped_folders(parent, folders)) {
        if (seen.insert(file).second) {
            files.push_back(std::move(file));
        }
    }
    return files;
}

} // namespace

// Files and folders dropped from a file manager join the queue, as opened documents do; a run
// owns the queue.
void Mainscreen::dragEnterEvent(QDragEnterEvent* event) {
    if (!state_.run_in_progress && offers_files_or_folders(event->mimeData()->urls())) {
        event->acceptProposedAction();
    }
}

void Mainscreen::dropEvent(QDropEvent* event) {
    if (state_.run_in_progress || !offers_files_or_folders(event->mimeData()->urls())) {
        event->ignore();
        return;
    }
    const auto files = files_of_drop(this, event->mimeData()->urls());
    if (files.empty()) {
        event->ignore();
        return;
    }
    add_files_to_queue(files);
    event->acceptProposedAction();
}

void Mainscreen::add_files_to_queue(const std::vector<std::filesystem::path>& files) {
    add_to_queue(state_, files);
    setWindowTitle(QString::fromStdString(files_to_process_title(state_.file_count)));
}

} // namespace ferrocase
