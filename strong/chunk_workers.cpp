#include "strong/chunk_workers.h"

#include "strong/key_derivation.h"

#include <atomic>
#include <exception>
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
    std::atomic<std::int64_t> done{0};
    std::atomic<bool> stop{false};
    const auto work_through = [&](Batch& batch, const Progress& report) {
        while (!stop) {
            batch.index = next++;
            if (batch.index >= batch_count_) {
                break;
            }
            FileResult result = work(batch);
            if (!result.ok()) {
                stop = true;
                return result;
            }
            const auto finished = ++done;
            if (report) {
                report(finished);
            }
        }
        return FileResult{};
    };

    FileResult helper_result;
    std::exception_ptr helper_exception;
    std::thread helper;
    if (batch_count_ > 1) {
        try {
            helper = std::thread([&] {
                try {
                    helper_result = work_through(batches_[1], {});
                } catch (...) {
                    helper_exception = std::current_exception();
                    stop = true;
                }
            });
        } catch (const std::system_error&) {
            // Out of threads: the caller's does every batch, only slower.
        }
    }
    FileResult result;
    try {
        result = work_through(batches_[0], progress);
    } catch (...) {
        stop = true;
        if (helper.joinable()) {
            helper.join();
        }
        throw;
    }
    if (helper.joinable()) {
        helper.join();
    }
    if (helper_exception) {
        std::rethrow_exception(helper_exception);
    }
    if (!result.ok()) {
        return result;
    }
    // The other thread may have finished the last batches.
    if (helper_result.ok() && progress) {
        progress(done);
    }
    return helper_result;
}

} // namespace ferrocase
