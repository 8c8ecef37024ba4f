#include "batch/queue_selection.h"

namespace ferrocase {

void queue_selection(AppState& state, std::span<const std::filesystem::path> files) {
    state.file_count = 0;
    for (const std::filesystem::path& file : files) {
        state.file_count = state.file_count + 1;
        state.file_queue.row(state.file_count).source = file;
    }
}

std::string files_to_process_title(std::int32_t count) {
    return "Files to Process:" + std::to_string(count);
}

} // namespace ferrocase
