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

std::filesystem::path folder_of(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

std::filesystem::path absolute_path(const std::filesystem::path& path) {
    std::error_code ignored;
    const auto absolute = std::filesystem::absolute(path, ignored);
    return absolute.empty() ? path : absolute.lexically_normal();
}

} // namespace ferrocase
