#include "batch/queue_selection.h"

#include "file_system/file_system.h"

#include <set>
#include <variant>

namespace ferrocase {
namespace {

// Another name for a queued file (a link, a hard link) is the same file; a name that cannot be
// looked up is known by itself.
using QueuedFile = std::variant<FileIdentity, std::filesystem::path>;

QueuedFile identity_of(const std::filesystem::path& file) {
    FileStatus status;
    if (!local_file_system().status(file, status)) {
        return status.identity;
    }
    return file;
}

} // namespace

void queue_selection(AppState& state, std::span<const std::filesystem::path> files) {
    state.file_count = 0;
    for (const std::filesystem::path& file : files) {
        state.file_count = state.file_count + 1;
        state.file_queue.row(state.file_count).source = file;
    }
}

void add_to_queue(AppState& state, std::span<const std::filesystem::path> files) {
    std::set<QueuedFile> queued;
    for (std::int32_t row = 1; row <= state.file_count; ++row) {
        queued.insert(identity_of(state.file_queue.row(row).source));
    }
    for (const std::filesystem::path& file : files) {
        if (queued.insert(identity_of(file)).second) {
            state.file_count = state.file_count + 1;
            state.file_queue.row(state.file_count) = QueueRow{file, {}};
        }
    }
}

std::string files_to_process_title(std::int32_t count) {
    return "Files to Process:" + std::to_string(count);
}

} // namespace ferrocase
