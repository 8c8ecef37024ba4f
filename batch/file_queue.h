#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace ferrocase {

struct QueueRow {
    std::filesystem::path source;
    std::filesystem::path destination; // set when the file is processed
};

// The queue's table, numbered from row 1. It grows as rows are written; rows above the queue's
// length may still hold paths of an earlier, longer selection.
class FileQueue {
public:
    QueueRow& row(std::int32_t number);
    const QueueRow& row(std::int32_t number) const;
    std::int32_t rows() const { return static_cast<std::int32_t>(rows_.size()); }

private:
    std::vector<QueueRow> rows_;
};

} // namespace ferrocase
