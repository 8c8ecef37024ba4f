#include "ui/folder_listing.h"
#include "ui/frmdirtree.h"
#include "ui/mainscreen.h"
#include "ui/message_box.h"
#include "ui/native_path.h"

#include <system_error>
#include <utility>

namespace ferrocase {

namespace {

QString unopenable_text(const std::vector<std::filesystem::path>& documents) {
    QString text = documents.size() == 1
                       ? QStringLiteral("Unable to Open. This document does not exist or is not a "
                                        "file or a folder:")
                       : QStringLiteral("Unable to Open. These documents do not exist or are not "
                                        "files or folders:");
    for (const std::filesystem::path& document : documents) {
        text += '\n' + from_native_path(document);
    }
    return text;
}

struct SortedDocuments {
    std::vector<std::filesystem::path> files;
    std::vector<std::filesystem::path> folders;
    std::vector<std::filesystem::path> unopenable;
};

SortedDocuments sorted_documents(const std::vector<std::filesystem::path>& documents) {
    SortedDocuments sorted;
    for (const std::filesystem::path& document : documents) {
        std::error_code error;
        const auto status = std::filesystem::status(document, error);
        (std::filesystem::is_regular_file(status) ? sorted.files
         : std::filesystem::is_directory(status)  ? sorted.folders
                                                  : sorted.unopenable)
            .push_back(document);
    }
    return sorted;
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

// Folders are asked about and listed as dropped ones are. That lets events through: documents
// arriving meanwhile wait for this pass, rather than ask a second question over the first.
void Mainscreen::take_waiting_documents() {
    if (taking_documents_) {
        return;
    }
    taking_documents_ = true;
    while (!waiting_documents_.empty() && !quit_requested_) {
        const SortedDocuments documents = sorted_documents(std::exchange(waiting_documents_, {}));
        const auto files = files_with_folder_contents(this, documents.files, documents.folders);
        if (!files.empty()) {
            add_files_to_queue(files);
        }
        if (!documents.unopenable.empty()) {
            show_message(this, unopenable_text(documents.unopenable), MessageIcon::error);
        }
    }
    taking_documents_ = false;
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
