#include "engine/file_transform.h"

#include "engine/engine_error.h"

#include <algorithm>
#include <vector>

namespace ferrocase {
namespace {

// Reading and writing ten blocks per call costs far less than one call per block; the bytes and
// the yields stay those of the block-by-block walk.
constexpr std::int64_t blocks_per_run = 10;

FileResult failure(FileStep step, const std::filesystem::path& path, std::error_code error) {
    return {.failed_step = step, .path = path, .error = error, .partly_transformed = false};
}

std::error_code read_exactly(RandomAccessFile& file, std::int64_t offset,
                             std::span<std::uint8_t> bytes) {
    std::size_t bytes_read = 0;
    if (auto error = file.read_at(offset, bytes, bytes_read)) {
        return error;
    }
    return bytes_read == bytes.size() ? std::error_code{} : EngineError::short_read;
}

class FileTransform {
public:
    FileTransform(EngineState& state, std::int64_t length)
        : state_(state), block_size_(state.block_size),
          mask_(state.password, state.skip_step, static_cast<std::size_t>(block_size_)),
          buffer_(static_cast<std::size_t>(block_size_ * blocks_per_run)),
          full_blocks_(length / block_size_), tail_(length % block_size_) {}

    std::int64_t full_blocks() const { return full_blocks_; }
    std::int64_t tail() const { return tail_; }
    std::int64_t blocks_in_run(std::int64_t first) const {
        return std::min(blocks_per_run, full_blocks_ - first);
    }
    std::span<std::uint8_t> run(std::int64_t blocks) {
        return {buffer_.data(), static_cast<std::size_t>(blocks * block_size_)};
    }
    std::span<std::uint8_t> tail_buffer() {
        return {buffer_.data(), static_cast<std::size_t>(tail_)};
    }
    std::span<std::uint8_t> block(std::int64_t index_in_run) {
        return {buffer_.data() + index_in_run * block_size_, static_cast<std::size_t>(block_size_)};
    }
    std::int64_t offset_of_block(std::int64_t block) const { return block * block_size_; }

    void transform(std::span<std::uint8_t> bytes) { transform_block(state_, bytes, mask_); }

    // Transforms a run of whole blocks, or the tail, a second time: the transform is its own
    // inverse, so this gives back what was read.
    void transform_blocks(std::span<std::uint8_t> bytes) {
        for (std::size_t start = 0; start < bytes.size();
             start += static_cast<std::size_t>(block_size_)) {
            mask_.apply(
                bytes.subspan(start, std::min<std::size_t>(block_size_, bytes.size() - start)));
        }
    }

    // Puts the first `bytes` of the file back as they were before transforming; used when a
    // failure stops an in-place encryption part-way.
    std::error_code undo(RandomAccessFile& file, std::int64_t bytes) {
        for (std::int64_t offset = 0; offset < bytes;) {
            const std::int64_t length =
                std::min<std::int64_t>(bytes - offset, block_size_ * blocks_per_run);
            const std::span<std::uint8_t> chunk{buffer_.data(), static_cast<std::size_t>(length)};
            if (auto error = read_exactly(file, offset, chunk)) {
                return error;
            }
            transform_blocks(chunk);
            if (auto error = file.write_at(offset, chunk)) {
                return error;
            }
            offset += length;
        }
        return {};
    }

private:
    EngineState& state_;
    std::int64_t block_size_;
    BlockMask mask_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t full_blocks_;
    std::int64_t tail_;
};

FileResult restore_after(FileTransform& transform, RandomAccessFile& file,
                         std::int64_t transformed_bytes, FileResult result) {
    result.partly_transformed = static_cast<bool>(transform.undo(file, transformed_bytes));
    return result;
}

} // namespace

namespace {

const char* failure_text(FileStep step) {
    switch (step) {
    case FileStep::none:
        return "processed ";
    case FileStep::open_source:
        return "could not open ";
    case FileStep::create_destination:
        return "could not create a new file beside ";
    case FileStep::length:
        return "could not find the length of ";
    case FileStep::read:
        return "could not read ";
    case FileStep::write:
        return "could not write ";
    case FileStep::sync:
        return "could not save to disk ";
    case FileStep::close:
        return "could not close ";
    case FileStep::replace_destination:
        return "could not replace ";
    }
    return "could not process ";
}

} // namespace

std::string FileResult::describe() const {
    std::string text = failure_text(failed_step) + path.string();
    if (ok()) {
        return text;
    }
    text += ": " + error.message();
    if (partly_transformed) {
        text += "; the file could not be put back and is left partly transformed";
    }
    return text;
}

std::optional<std::filesystem::path> decrypted_name(const std::filesystem::path& source) {
    if (source.filename().native().size() <= 4) {
        return std::nullopt;
    }
    const auto& name = source.native();
    return std::filesystem::path(name.substr(0, name.size() - 4));
}

FileResult encrypt_file(EngineState& state, FileSystem& fs, const std::filesystem::path& path,
                        const Yield& yield) {
    state.source_length = 0;
    state.file_position = 0;
    auto [file, open_error] = fs.open_for_update(path);
    if (!file) {
        return failure(FileStep::open_source, path, open_error);
    }
    FileStatus status;
    if (auto error = file->status(status)) {
        return failure(FileStep::length, path, error);
    }
    const std::int64_t length = status.size;
    state.source_length = length;
    FileTransform transform(state, length);
    state.file_position = 1;

    for (std::int64_t first = 0; first < transform.full_blocks();) {
        const std::int64_t blocks = transform.blocks_in_run(first);
        const auto run = transform.run(blocks);
        const std::int64_t offset = transform.offset_of_block(first);
        if (auto error = read_exactly(*file, offset, run)) {
            return restore_after(transform, *file, offset, failure(FileStep::read, path, error));
        }
        for (std::int64_t block = 0; block < blocks; ++block) {
            transform.transform(transform.block(block));
            yield();
            state.file_position += state.block_size;
            yield();
        }
        if (auto error = file->write_at(offset, run)) {
            // The run may be written in part: write back its original bytes as well.
            transform.transform_blocks(run);
            const auto put_back = file->write_at(offset, run);
            auto result =
                restore_after(transform, *file, offset, failure(FileStep::write, path, error));
            result.partly_transformed = result.partly_transformed || put_back;
            return result;
        }
        first += blocks;
    }

    const std::int64_t tail_offset = transform.offset_of_block(transform.full_blocks());
    const auto tail = transform.tail_buffer();
    if (auto error = read_exactly(*file, tail_offset, tail)) {
        return restore_after(transform, *file, tail_offset, failure(FileStep::read, path, error));
    }
    transform.transform(tail);
    if (auto error = file->write_at(tail_offset, tail)) {
        transform.transform_blocks(tail);
        const auto put_back = file->write_at(tail_offset, tail);
        auto result =
            restore_after(transform, *file, tail_offset, failure(FileStep::write, path, error));
        result.partly_transformed = result.partly_transformed || put_back;
        return result;
    }
    if (auto error = file->close()) {
        // What reached the disk is unknown: open the file again and put every byte back.
        auto reopened = fs.open_for_update(path);
        auto result = failure(FileStep::close, path, error);
        result.partly_transformed =
            !reopened.file || transform.undo(*reopened.file, length) || reopened.file->close();
        return result;
    }
    return {};
}

FileResult decrypt_file(EngineState& state, FileSystem& fs, const std::filesystem::path& source,
                        const std::filesystem::path& destination, Durability durability,
                        const Yield& yield) {
    state.source_length = 0;
    state.file_position = 0;
    auto [input, open_error] = fs.open_for_reading(source);
    if (!input) {
        return failure(FileStep::open_source, source, open_error);
    }
    FileStatus status;
    if (auto error = input->status(status)) {
        return failure(FileStep::length, source, error);
    }
    const std::int64_t length = status.size;
    const bool on_disk = durability == Durability::on_disk || fs.exists(destination);
    auto [output, create_error] = fs.create_new(destination, status);
    if (!output) {
        return failure(FileStep::create_destination, destination, create_error);
    }
    // Until the new file is put in place at the end, the destination's old content is
    // untouched; on any failure the half-written new one goes away with its handle.
    auto discard = [&](FileResult result) {
        output->close();
        return result;
    };

    state.source_length = length;
    FileTransform transform(state, length);
    state.file_position = 1;

    for (std::int64_t first = 0; first < transform.full_blocks();) {
        const std::int64_t blocks = transform.blocks_in_run(first);
        const auto run = transform.run(blocks);
        const std::int64_t offset = transform.offset_of_block(first);
        if (auto error = read_exactly(*input, offset, run)) {
            return discard(failure(FileStep::read, source, error));
        }
        for (std::int64_t block = 0; block < blocks; ++block) {
            transform.transform(transform.block(block));
        }
        if (auto error = output->write_at(offset, run)) {
            return discard(failure(FileStep::write, destination, error));
        }
        for (std::int64_t block = 0; block < blocks; ++block) {
            state.file_position += state.block_size;
            yield();
        }
        first += blocks;
    }

    const std::int64_t tail_offset = transform.offset_of_block(transform.full_blocks());
    const auto tail = transform.tail_buffer();
    if (auto error = read_exactly(*input, tail_offset, tail)) {
        return discard(failure(FileStep::read, source, error));
    }
    transform.transform(tail);
    if (auto error = output->write_at(tail_offset, tail)) {
        return discard(failure(FileStep::write, destination, error));
    }
    yield();
    input->close();
    if (on_disk) {
        if (auto error = output->sync()) {
            return discard(failure(FileStep::sync, destination, error));
        }
    }
    if (auto error = output->put_in_place()) {
        return discard(failure(FileStep::replace_destination, destination, error));
    }
    if (auto error = output->close()) {
        return failure(FileStep::close, destination, error);
    }
    if (on_disk) {
        if (auto error = fs.sync_directory(destination.parent_path())) {
            return failure(FileStep::sync, destination.parent_path(), error);
        }
    }
    return {};
}

} // namespace ferrocase
