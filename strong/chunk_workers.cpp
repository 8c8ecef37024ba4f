#include "strong/chunk_workers.h"

#include "strong/key_derivation.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace ferrocase {

ChunkWorkers::ChunkWorkers(std::int64_t batch_count, std::size_t input_bytes,
                           std::size_t output_bytes)
    : batch_count_(batch_count) {
    for (int worker = 0; worker < count; ++worker) {
        batches_[worker].worker = worker;
        // A file of one batch is done in the caller's thread alone.
        if (worker == 0 || batch_count > 1) {
            batches_[worker].input.resize(input_bytes);
            batches_[worker].output.resize(output_bytes);
        }
    }
}

ChunkWorkers::~ChunkWorkers() {
    for (auto& batch : batches_) {
        wipe(batch.input);
        wipe(batch.output);
    }
}

FileResult ChunkWorkers::run(const Work& work, const Progress& progress) {
    std::atomic<std::int64_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable changed;
    std::int64_t done = 0; // these three under the mutex
    int running = 0;
    std::array<FileResult, count> results;
    std::array<std::exception_ptr, count> exceptions;
    const auto work_through = [&](int worker) {
        Batch& batch = batches_[worker];
        try {
            while (!stop) {
                batch.index = next++;
                if (batch.index >= batch_count_) {
                    break;
                }
                results[worker] = work(batch);
                if (!results[worker].ok()) {
                    stop = true;
                    break;
                }
                const std::lock_guard lock(mutex);
                ++done;
                changed.notify_one();
            }
        } catch (...) {
            exceptions[worker] = std::current_exception();
            stop = true;
        }
        const std::lock_guard lock(mutex);
        --running;
        changed.notify_one();
    };

    std::array<std::thread, count> threads;
    for (int worker = 0; worker < (batch_count_ > 1 ? count : 1); ++worker) {
        try {
            const std::lock_guard lock(mutex);
            threads[worker] = std::thread(work_through, worker);
            ++running;
        } catch (const std::system_error&) {
            break; // out of threads: fewer workers, or the caller's thread alone
        }
    }
    if (!threads[0].joinable()) {
        {
            const std::lock_guard lock(mutex);
            ++running;
        }
        work_through(0);
    }
    {
        // The caller only reports progress, so that a window stays free while the chunks go.
        std::unique_lock lock(mutex);
        while (running > 0) {
            changed.wait_for(lock, std::chrono::milliseconds(20));
            const std::int64_t finished = done;
            const bool working = running > 0;
            lock.unlock();
            if (progress && working) {
                progress(finished);
            }
            lock.lock();
        }
    }
    for (auto& thread : threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
    for (const auto& exception : exceptions) {
        if (exception) {
            std::rethrow_exception(exception);
        }
    }
    for (const auto& result : results) {
        if (!result.ok()) {
            return result;
        }
    }
    if (progress) {
        progress(done);
    }
    return {};
}

} // namespace ferrocase
