#include "batch/queue_selection.h"

namespace ferrocase {

void queue_selection(AppState& state, std::span<const std::filesystem::path> files) {
    state.file_count = 0;
    for (const std::filesystem::path& file : files) {
        state.file_count = state.file_count + 1;
        state.file_queue.row(state.file_count).source = file;
    }
}

void add_to_queue(AppState& state, std::span<const std::filesystem::path> files) {
    for (const std::filesystem::path& file : files) {
        bool queued = false;
        for (std::int32_t row = 1; row <= state.file_count && !queued; ++row) {
            queued = state.file_queue.row(row).source == file;
        }
        if (!queued) {
            state.file_count = state.file_count + 1;
            state.file_queue.row(state.file_count) = QueueRow{file, {}};
        }
    }
}

std::string files_to_process_title(std::int32_t count) {
    return "Files to Process:" + std::to_string(count);
}

} // namespace ferrocase
