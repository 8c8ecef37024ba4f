#include "batch/queue_selection.h"
#include "ui/dropped_files.h"
#include "ui/folder_listing.h"
#include "ui/mainscreen.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace ferrocase {

namespace {

// What a drop would queue: files, or folders whose files are listed on dropping.
bool offers_files_or_folders(const QList<QUrl>& urls) {
    return !dropped_files(urls).empty() || !dropped_folders(urls).empty();
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
    const QList<QUrl> urls = event->mimeData()->urls();
    const auto files = files_with_folder_contents(this, dropped_files(urls), dropped_folders(urls));
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
