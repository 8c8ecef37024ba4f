#include "batch/file_queue.h"

namespace ferrocase {

QueueRow& FileQueue::row(std::int32_t number) {
    const auto index = static_cast<std::size_t>(number - 1);
    if (index >= rows_.size()) {
        rows_.resize(index + 1);
    }
    return rows_[index];
}

const QueueRow& FileQueue::row(std::int32_t number) const {
    static const QueueRow empty;
    const auto index = static_cast<std::size_t>(number - 1);
    return index < rows_.size() ? rows_[index] : empty;
}

} // namespace ferrocase
