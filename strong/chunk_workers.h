#pragma once

#include "file_system/file_result.h"
#include "fxe/transform_state.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace ferrocase {

// A run of consecutive chunks, read, transformed and written together. The transform goes from
// one buffer into the other, so that each is read or written in one piece.
struct Batch {
    std::int64_t index = 0;
    int worker = 0; // which of the workers has it: each keeps its own cipher state
    std::vector<std::uint8_t> input;
    std::vector<std::uint8_t> output;
};

// Works through the batches of a file in two threads of its own (one for a file of one batch).
// Each batch is read, transformed and written by one thread, so that its bytes stay in that
// processor's cache; the batches may be finished in any order. The caller's thread only reports
// progress, whenever a batch is done and at least every 20 ms, and once at the end, and so may
// yield to a window that stays free meanwhile. A failure stops both threads after the batch in
// hand; an exception from either comes out of run() in the caller's thread. Without threads to
// be had, the caller's thread does the work.
class ChunkWorkers {
public:
    static constexpr int count = 2;
    using Work = std::function<FileResult(Batch&)>;
    using Progress = std::function<void(std::int64_t batches_done)>;

    ChunkWorkers(std::int64_t batch_count, std::size_t input_bytes, std::size_t output_bytes);
    // Wipes the buffers: they held plain text.
    ~ChunkWorkers();
    ChunkWorkers(const ChunkWorkers&) = delete;
    ChunkWorkers& operator=(const ChunkWorkers&) = delete;

    // Every batch through `work`; the first failure.
    FileResult run(const Work& work, const Progress& progress);

private:
    std::int64_t batch_count_;
    std::array<Batch, count> batches_;
};

} // namespace ferrocase
