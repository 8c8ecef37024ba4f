#include "file_system/file_system.h"

#include "file_system/engine_error.h"

namespace ferrocase {

std::error_code read_exactly(RandomAccessFile& file, std::int64_t offset,
                             std::span<std::uint8_t> bytes) {
    std::size_t bytes_read = 0;
    if (auto error = file.read_at(offset, bytes, bytes_read)) {
        return error;
    }
    return bytes_read == bytes.size() ? std::error_code{} : EngineError::size_changed;
}

} // namespace ferrocase
