#include "ui/frmdirtree.h"
#include "ui/mainscreen.h"
#include "ui/message_box.h"
#include "ui/native_path.h"

#include <system_error>

namespace ferrocase {

namespace {

QString unopenable_text(const std::vector<std::filesystem::path>& documents) {
    QString text = documents.size() == 1
                       ? QStringLiteral("Unable to Open. This document does not exist or is not a "
                                        "file:")
                       : QStringLiteral("Unable to Open. These documents do not exist or are not "
                                        "files:");
    for (const std::filesystem::path& document : documents) {
        text += '\n' + from_native_path(document);
    }
    return text;
}

} // namespace

// A run owns the queue and the chooser is about to replace it: documents that arrive meanwhile
// wait until either is over.
void Mainscreen::open_documents(std::vector<std::filesystem::path> documents) {
    waiting_documents_.insert(waiting_documents_.end(), documents.begin(), documents.end());
    bring_to_front();
    if (!state_.run_in_progress && !chooser_) {
        take_waiting_documents();
    }
}

void Mainscreen::take_waiting_documents() {
    if (waiting_documents_.empty() || quit_requested_) {
        return;
    }
    std::vector<std::filesystem::path> files;
    std::vector<std::filesystem::path> unopenable;
    for (const std::filesystem::path& document : waiting_documents_) {
        std::error_code error;
        (std::filesystem::is_regular_file(document, error) ? files : unopenable)
            .push_back(document);
    }
    waiting_documents_.clear();
    if (!files.empty()) {
        add_files_to_queue(files);
    }
    if (!unopenable.empty()) {
        show_message(this, unopenable_text(unopenable), MessageIcon::error);
    }
}

void Mainscreen::bring_to_front() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    QWidget* front = chooser_ ? static_cast<QWidget*>(chooser_) : this;
    front->show();
    if (!front->isActiveWindow()) {
        front->raise();
        front->activateWindow();
    }
}

} // namespace ferrocase
