#include "fxe/window_decryption.h"

#include "file_system/engine_error.h"

#include <algorithm>
#include <span>
#include <vector>

namespace ferrocase {

FileResult decrypt_windows(EngineState& state, const BlockMask& mask, RandomAccessFile& input,
                           RandomAccessFile& output, const FileStatus& status,
                           std::int64_t window_bytes, const std::atomic<bool>* stop,
                           const Yield& yield, const std::filesystem::path& source,
                           const std::filesystem::path& destination) {
    state.source_length = status.size;
    state.file_position = 1;
    const auto block_size = static_cast<std::size_t>(state.block_size);
    std::vector<std::uint8_t> buffer;
    for (std::int64_t offset = 0; offset < status.size; offset += window_bytes) {
        if (stop && stop->load()) {
            return file_failure(FileStep::interrupted, source, {});
        }
        buffer.resize(static_cast<std::size_t>(std::min(window_bytes, status.size - offset)));
        if (auto error = read_exactly(input, offset, buffer)) {
            return file_failure(FileStep::read, source, error);
        }
        for (std::size_t start = 0; start < buffer.size(); start += block_size) {
            transform_block(
                state,
                std::span(buffer).subspan(start, std::min(block_size, buffer.size() - start)),
                mask);
        }
        if (auto error = output.write_at(offset, buffer)) {
            return file_failure(FileStep::write, destination, error);
        }
        output.start_writeback(offset, static_cast<std::int64_t>(buffer.size()));
        for (std::size_t start = 0; start + block_size <= buffer.size(); start += block_size) {
            state.file_position += state.block_size;
            yield();
        }
    }
    yield();
    // Bytes another program added meanwhile would be missing from the new file.
    FileStatus now;
    if (auto error = input.status(now); error || now.size != status.size) {
        return file_failure(FileStep::read, source,
                            error ? error : make_error_code(EngineError::size_changed));
    }
    return {};
}

} // namespace ferrocase
