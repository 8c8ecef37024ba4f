#include "batch/queue_selection.h"
#include "ui/dropped_files.h"
#include "ui/mainscreen.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace ferrocase {

// Files dropped from a file manager join the queue, as opened documents do; a run owns the queue.
void Mainscreen::dragEnterEvent(QDragEnterEvent* event) {
    if (!state_.run_in_progress && !dropped_files(event->mimeData()->urls()).empty()) {
        event->acceptProposedAction();
    }
}

void Mainscreen::dropEvent(QDropEvent* event) {
    const auto files = dropped_files(event->mimeData()->urls());
    if (state_.run_in_progress || files.empty()) {
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
