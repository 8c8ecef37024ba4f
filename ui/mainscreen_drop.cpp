#include "batch/queue_selection.h"
#include "ui/dropped_files.h"
#include "ui/mainscreen.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace ferrocase {

// Dropping files from a file manager queues them like the chooser does; a run owns the queue.
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
    queue_selection(state_, files);
    setWindowTitle(QString::fromStdString(files_to_process_title(state_.file_count)));
    event->acceptProposedAction();
}

} // namespace ferrocase
