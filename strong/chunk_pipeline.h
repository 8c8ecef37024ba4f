#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace ferrocase {

// A run of consecutive chunks, read, transformed and written together.
struct Batch {
    std::int64_t index = 0;
    std::vector<std::uint8_t> bytes;
};

// Overlaps reading and writing with the caller's computing: one thread reads batches ahead
// into a few buffers and writes the batches the caller hands back, in order, while the caller
// transforms the next. The caller's thread is the only one that may yield to the window. Files
// are only ever used by one thread at a time; an exception thrown by reading or writing comes
// out of next() or finish() in the caller's thread.
class ChunkPipeline {
public:
    using Read = std::function<std::error_code(Batch&)>;
    using Write = std::function<std::error_code(Batch&)>;

    ChunkPipeline(std::int64_t batch_count, std::size_t batch_bytes, Read read, Write write);
    // Stops reading and writing, and wipes the buffers: they held plain text.
    ~ChunkPipeline();
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    // The next batch in order, once it is read; nullptr when reading or writing failed.
    Batch* next();
    // Hands a transformed batch back for writing.
    void transformed(Batch* batch);
    // Waits until every batch is written; the first failure of reading or writing.
    std::error_code finish();

private:
    static constexpr std::size_t buffer_count = 4;

    void work();

    Read read_;
    Write write_;
    std::int64_t batch_count_;
    std::vector<Batch> batches_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch*> free_;
    std::deque<Batch*> read_done_;
    std::deque<Batch*> to_write_;
    std::int64_t next_to_read_ = 0;
    std::int64_t written_ = 0;
    std::error_code error_;
    std::exception_ptr exception_;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace ferrocase
