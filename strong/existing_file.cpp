#include "strong/existing_file.h"

#include "strong/key_derivation.h"

#include <algorithm>
#include <vector>

namespace ferrocase {

bool exists(FileSystem& fs, const std::filesystem::path& path) {
    FileStatus status;
    return !fs.status(path, status);
}

bool holds_other_bytes(FileSystem& fs, const std::filesystem::path& path, RandomAccessFile& content,
                       std::int64_t length) {
    FileStatus status;
    if (fs.status(path, status)) {
        return false;
    }
    if (status.size != length) {
        return true;
    }
    auto [existing, error] = fs.open_for_reading(path);
    if (!existing) {
        return true;
    }
    constexpr std::int64_t block = 64 * 1024;
    std::vector<std::uint8_t> ours(block), theirs(block);
    bool other = false;
    for (std::int64_t offset = 0; offset < length && !other; offset += block) {
        const auto size = static_cast<std::size_t>(std::min(block, length - offset));
        other = read_exactly(content, offset, {ours.data(), size}) ||
                read_exactly(*existing, offset, {theirs.data(), size}) ||
                !std::equal(ours.begin(), ours.begin() + static_cast<std::ptrdiff_t>(size),
                            theirs.begin());
    }
    existing->close();
    // Both held plain text.
    wipe(ours);
    wipe(theirs);
    return other;
}

} // namespace ferrocase
