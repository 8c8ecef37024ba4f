#include "strong/chunk_pipeline.h"

#include "strong/key_derivation.h"

namespace ferrocase {

ChunkPipeline::ChunkPipeline(std::int64_t batch_count, std::size_t batch_bytes, Read read,
                             Write write)
    : read_(std::move(read)), write_(std::move(write)), batch_count_(batch_count),
      batches_(buffer_count) {
    for (auto& batch : batches_) {
        batch.bytes.resize(batch_bytes);
        free_.push_back(&batch);
    }
    worker_ = std::thread([this] { work(); });
}

ChunkPipeline::~ChunkPipeline() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
    for (auto& batch : batches_) {
        wipe(batch.bytes);
    }
}

Batch* ChunkPipeline::next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !read_done_.empty() || error_; });
    if (exception_) {
        std::rethrow_exception(exception_);
    }
    if (error_) {
        return nullptr;
    }
    Batch* batch = read_done_.front();
    read_done_.pop_front();
    return batch;
}

void ChunkPipeline::transformed(Batch* batch) {
    {
        const std::lock_guard lock(mutex_);
        to_write_.push_back(batch);
    }
    changed_.notify_all();
}

std::error_code ChunkPipeline::finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return written_ == batch_count_ || error_; });
    if (exception_) {
        std::rethrow_exception(exception_);
    }
    return error_;
}

void ChunkPipeline::work() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] {
            return stopping_ || !to_write_.empty() ||
                   (!free_.empty() && next_to_read_ < batch_count_);
        });
        if (stopping_) {
            return;
        }
        // Writing first keeps buffers moving: a written batch frees a buffer for reading.
        const bool writing = !to_write_.empty();
        Batch* batch = writing ? to_write_.front() : free_.front();
        if (writing) {
            to_write_.pop_front();
        } else {
            free_.pop_front();
            batch->index = next_to_read_++;
        }
        lock.unlock();
        std::error_code error;
        try {
            error = writing ? write_(*batch) : read_(*batch);
        } catch (...) {
            lock.lock();
            exception_ = std::current_exception();
            error_ = std::make_error_code(std::errc::operation_canceled);
            changed_.notify_all();
            return;
        }
        lock.lock();
        if (error) {
            error_ = error;
            changed_.notify_all();
            return;
        }
        if (writing) {
            ++written_;
            free_.push_back(batch);
        } else {
            read_done_.push_back(batch);
        }
        changed_.notify_all();
    }
}

} // namespace ferrocase
