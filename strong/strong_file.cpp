#include "strong/strong_file.h"

#include "engine/engine_error.h"
#include "strong/aead_context.h"
#include "strong/chunk_workers.h"
#include "strong/header_check.h"
#include "strong/key_derivation.h"
#include "strong/strong_error.h"

#include <algorithm>
#include <optional>

namespace ferrocase {
namespace {

constexpr std::int64_t batch_target_bytes = 1024 * 1024;
constexpr std::int64_t most_chunks_per_batch = 16;
// The chunk counter is 32 bits wide.
constexpr std::int64_t most_chunks = std::int64_t{1} << 32;

// Where every chunk of a file lies, in the plain file and in the stored one. Every chunk holds
// chunk_size plain bytes except the last, which holds 1 to chunk_size (0 for an empty file).
// The chunks follow a header of `header_length` bytes.
class ChunkLayout {
public:
    static std::optional<ChunkLayout> of_plain(std::int64_t length, std::uint32_t chunk_size,
                                               std::size_t header_length) {
        const std::int64_t chunks =
            std::max<std::int64_t>(1, (length + chunk_size - 1) / chunk_size);
        if (chunks > most_chunks) {
            return std::nullopt;
        }
        return ChunkLayout(length, chunk_size, chunks, header_length);
    }

    static std::optional<ChunkLayout> of_stored(std::int64_t length, std::uint32_t chunk_size,
                                                std::size_t header_length) {
        const std::int64_t body = length - static_cast<std::int64_t>(header_length);
        const std::int64_t stored_chunk = std::int64_t{chunk_size} + tag_size;
        if (body < static_cast<std::int64_t>(tag_size)) {
            return std::nullopt;
        }
        const std::int64_t chunks = (body + stored_chunk - 1) / stored_chunk;
        const std::int64_t last = body - (chunks - 1) * stored_chunk;
        if (chunks > most_chunks || last < static_cast<std::int64_t>(tag_size) ||
            (chunks > 1 && last == static_cast<std::int64_t>(tag_size))) {
            return std::nullopt;
        }
        return ChunkLayout(body - chunks * static_cast<std::int64_t>(tag_size), chunk_size, chunks,
                           header_length);
    }

    std::int64_t stored_length() const {
        return header_length_ + plain_length_ + chunks_ * static_cast<std::int64_t>(tag_size);
    }
    std::int64_t chunks() const { return chunks_; }
    std::int64_t batches() const { return (chunks_ + per_batch_ - 1) / per_batch_; }
    // The buffer sizes a batch needs for its plain bytes and for them as they are stored.
    std::size_t plain_batch_bytes() const {
        return static_cast<std::size_t>(std::min(per_batch_, chunks_) * chunk_size_);
    }
    std::size_t stored_batch_bytes() const {
        return static_cast<std::size_t>(std::min(per_batch_, chunks_) * stored_chunk());
    }
    std::int64_t first_chunk(const Batch& batch) const { return batch.index * per_batch_; }
    std::int64_t chunks_in(const Batch& batch) const {
        return std::min(per_batch_, chunks_ - first_chunk(batch));
    }
    std::int64_t chunks_in(std::int64_t batches) const {
        return std::min(batches * per_batch_, chunks_);
    }
    std::int64_t plain_offset(std::int64_t chunk) const {
        return std::min(chunk * chunk_size_, plain_length_);
    }
    std::int64_t stored_offset(std::int64_t chunk) const {
        return header_length_ + chunk * stored_chunk();
    }
    std::size_t plain_size(std::int64_t chunk) const {
        return static_cast<std::size_t>(plain_offset(chunk + 1) - plain_offset(chunk));
    }
    // A batch's plain bytes lie together; stored, each chunk's text is followed by its tag.
    std::span<std::uint8_t> plain_text(const Batch& batch, std::vector<std::uint8_t>& buffer,
                                       std::int64_t index_in_batch) const {
        return {buffer.data() + index_in_batch * chunk_size_,
                plain_size(first_chunk(batch) + index_in_batch)};
    }
    std::span<std::uint8_t> stored_text(const Batch& batch, std::vector<std::uint8_t>& buffer,
                                        std::int64_t index_in_batch) const {
        return {buffer.data() + index_in_batch * stored_chunk(),
                plain_size(first_chunk(batch) + index_in_batch)};
    }
    std::span<std::uint8_t, tag_size> stored_tag(const Batch& batch,
                                                 std::vector<std::uint8_t>& buffer,
                                                 std::int64_t index_in_batch) const {
        const auto text = stored_text(batch, buffer, index_in_batch);
        return std::span<std::uint8_t, tag_size>(text.data() + text.size(), tag_size);
    }
    std::size_t plain_bytes(const Batch& batch) const {
        const auto first = first_chunk(batch);
        return static_cast<std::size_t>(plain_offset(first + chunks_in(batch)) -
                                        plain_offset(first));
    }
    std::size_t stored_bytes(const Batch& batch) const {
        return plain_bytes(batch) + static_cast<std::size_t>(chunks_in(batch)) * tag_size;
    }

private:
    ChunkLayout(std::int64_t plain_length, std::uint32_t chunk_size, std::int64_t chunks,
                std::size_t header_length)
        : plain_length_(plain_length), chunk_size_(chunk_size), chunks_(chunks),
          header_length_(static_cast<std::int64_t>(header_length)),
          per_batch_(std::clamp<std::int64_t>(batch_target_bytes / stored_chunk(), 1,
                                              most_chunks_per_batch)) {}
    std::int64_t stored_chunk() const { return chunk_size_ + static_cast<std::int64_t>(tag_size); }

    std::int64_t plain_length_;
    std::int64_t chunk_size_;
    std::int64_t chunks_;
    std::int64_t header_length_;
    std::int64_t per_batch_;
};

// The file being written, dropped (and so nameless) unless it is finished.
class Output {
public:
    Output(std::unique_ptr<NewFile> file, std::filesystem::path path)
        : file_(std::move(file)), path_(std::move(path)) {}
    ~Output() {
        if (file_) {
            file_->close();
        }
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    NewFile& file() { return *file_; }

    // Content on disk, then the name, then the folder's entry.
    FileResult finish(FileSystem& fs) {
        if (auto error = file_->sync()) {
            return file_failure(FileStep::sync, path_, error);
        }
        if (auto error = file_->put_in_place()) {
            return file_failure(FileStep::replace_destination, path_, error);
        }
        const auto error = file_->close();
        file_.reset();
        if (error) {
            return file_failure(FileStep::close, path_, error);
        }
        const auto folder = path_.has_parent_path() ? path_.parent_path() : ".";
        if (auto sync_error = fs.sync_directory(folder)) {
            return file_failure(FileStep::sync, folder, sync_error);
        }
        return {};
    }

private:
    std::unique_ptr<NewFile> file_;
    std::filesystem::path path_;
};

// A derived key that is wiped when it goes.
struct SecretKey {
    Key bytes{};
    ~SecretKey() { wipe(bytes); }
};

enum class Direction { encrypt, decrypt };

// Streams every chunk from `input` through the AEAD into `output`.
class ChunkStream {
public:
    // `check` is the header check a version 2 file stores after the header (empty for 1).
    ChunkStream(Direction direction, const ChunkLayout& layout, const HeaderBytes& header,
                std::span<const std::uint8_t> check, const StrongHeader& fields, const Key& key)
        : direction_(direction), layout_(layout), header_(header), check_(check),
          fields_(fields), aeads_{{AeadContext(fields.aead, key), AeadContext(fields.aead, key)}} {}

    // Streams `input` into a new file that gets the destination's name only once it is complete
    // and on disk; an encryption writes the header first.
    FileResult into_new_file(EngineState& state, FileSystem& fs, RandomAccessFile& input,
                             const FileStatus& status, const std::filesystem::path& source,
                             const std::filesystem::path& destination, const Yield& yield) {
        auto [created, create_error] = fs.create_new(destination, status);
        if (!created) {
            return file_failure(FileStep::create_destination, destination, create_error);
        }
        Output output(std::move(created), destination);
        if (direction_ == Direction::encrypt) {
            auto error = output.file().write_at(0, header_);
            if (!error && !check_.empty()) {
                error = output.file().write_at(header_size, check_);
            }
            if (error) {
                return file_failure(FileStep::write, destination, error);
            }
        }
        state.file_position = 1;
        if (auto result = run(state, input, source, output.file(), destination, yield);
            !result.ok()) {
            return result;
        }
        input.close();
        return output.finish(fs);
    }

private:
    FileResult run(EngineState& state, RandomAccessFile& input, const std::filesystem::path& source,
                   NewFile& output, const std::filesystem::path& destination, const Yield& yield) {
        const bool encrypting = direction_ == Direction::encrypt;
        ChunkWorkers workers(
            layout_.batches(),
            encrypting ? layout_.plain_batch_bytes() : layout_.stored_batch_bytes(),
            encrypting ? layout_.stored_batch_bytes() : layout_.plain_batch_bytes());
        return workers.run(
            [&](Batch& batch) {
                if (auto error = read(input, batch)) {
                    return file_failure(FileStep::read, source, error);
                }
                if (const auto chunk = failing_chunk(batch)) {
                    return damaged_at(source, *chunk);
                }
                if (auto error = write(output, batch)) {
                    return file_failure(FileStep::write, destination, error);
                }
                return FileResult{};
            },
            [&](std::int64_t batches_done) {
                state.file_position = 1 + source_bytes_before(layout_.chunks_in(batches_done));
                yield();
            });
    }

    std::error_code read(RandomAccessFile& input, Batch& batch) {
        const auto first = layout_.first_chunk(batch);
        if (direction_ == Direction::encrypt) {
            return read_exactly(input, layout_.plain_offset(first),
                                {batch.input.data(), layout_.plain_bytes(batch)});
        }
        return read_exactly(input, layout_.stored_offset(first),
                            {batch.input.data(), layout_.stored_bytes(batch)});
    }

    std::error_code write(NewFile& output, Batch& batch) {
        const auto first = layout_.first_chunk(batch);
        const bool encrypting = direction_ == Direction::encrypt;
        const auto offset = encrypting ? layout_.stored_offset(first) : layout_.plain_offset(first);
        const auto length = encrypting ? layout_.stored_bytes(batch) : layout_.plain_bytes(batch);
        if (auto error = output.write_at(offset, {batch.output.data(), length})) {
            return error;
        }
        output.start_writeback(offset, static_cast<std::int64_t>(length));
        return {};
    }

    // How far into the source the first `chunks` chunks reach.
    std::int64_t source_bytes_before(std::int64_t chunks) const {
        if (direction_ == Direction::encrypt) {
            return layout_.plain_offset(chunks);
        }
        return chunks == layout_.chunks() ? layout_.stored_length() : layout_.stored_offset(chunks);
    }

    // Version 1 cannot tell damage from a wrong password; in version 2 the header check has
    // already vouched for the password.
    FileResult damaged_at(const std::filesystem::path& source, std::int64_t chunk) const {
        if (fields_.version == first_version) {
            return file_failure(FileStep::read, source, EngineError::wrong_password_or_damaged);
        }
        auto failure = file_failure(FileStep::read, source, StrongError::damaged);
        failure.at_byte = layout_.stored_offset(chunk);
        return failure;
    }

    // Transforms the batch; the first chunk whose tag does not match.
    std::optional<std::int64_t> failing_chunk(Batch& batch) {
        for (std::int64_t index = 0; index < layout_.chunks_in(batch); ++index) {
            const auto chunk = layout_.first_chunk(batch) + index;
            const Nonce nonce = chunk_nonce(fields_.nonce_prefix, static_cast<std::uint32_t>(chunk),
                                            chunk == layout_.chunks() - 1);
            if (direction_ == Direction::encrypt) {
                aeads_[batch.worker].seal(nonce, header_,
                                          layout_.plain_text(batch, batch.input, index),
                                          layout_.stored_text(batch, batch.output, index),
                                          layout_.stored_tag(batch, batch.output, index));
            } else if (!aeads_[batch.worker].open(nonce, header_,
                                                  layout_.stored_text(batch, batch.input, index),
                                                  layout_.plain_text(batch, batch.output, index),
                                                  layout_.stored_tag(batch, batch.input, index))) {
                return chunk;
            }
        }
        return std::nullopt;
    }

    Direction direction_;
    const ChunkLayout& layout_;
    const HeaderBytes& header_;
    std::span<const std::uint8_t> check_;
    const StrongHeader& fields_;
    // One for each worker: a cipher context is not to be shared between threads.
    std::array<AeadContext, ChunkWorkers::count> aeads_;
};

} // namespace

std::filesystem::path strong_encrypted_name(const std::filesystem::path& source) {
    return std::filesystem::path(source.native() + ".fxs");
}

FileResult encrypt_strong_file(EngineState& state, FileSystem& fs,
                               const std::filesystem::path& source,
                               const std::filesystem::path& destination, std::string_view password,
                               const StrongHeader& header, const Yield& yield) {
    state.source_length = 0;
    state.file_position = 0;
    if (password.empty()) {
        return file_failure(FileStep::open_source, source, StrongError::empty_password);
    }
    auto [input, status, failure] = open_source(fs, source, SourceAccess::read);
    if (!input) {
        return failure;
    }
    const auto layout =
        ChunkLayout::of_plain(status.size, header.chunk_size, stored_header_size(header.version));
    if (!layout) {
        return file_failure(FileStep::length, source,
                            std::make_error_code(std::errc::file_too_large));
    }
    state.source_length = status.size;
    SecretKey key;
    if (auto error = derive_key(password, header.salt, header.kdf, key.bytes)) {
        return file_failure(FileStep::open_source, source, error);
    }
    const HeaderBytes header_bytes = encode_header(header);
    if (header.version == first_version) {
        ChunkStream stream(Direction::encrypt, *layout, header_bytes, {}, header, key.bytes);
        return stream.into_new_file(state, fs, *input, status, source, destination, yield);
    }
    const FileKeys keys(key.bytes);
    const HeaderCheck check = header_check(keys, header_bytes);
    ChunkStream stream(Direction::encrypt, *layout, header_bytes, check, header, keys.chunk);
    return stream.into_new_file(state, fs, *input, status, source, destination, yield);
}

FileResult decrypt_strong_file(EngineState& state, FileSystem& fs,
                               const std::filesystem::path& source,
                               const std::filesystem::path& destination, std::string_view password,
                               const Yield& yield) {
    state.source_length = 0;
    state.file_position = 0;
    auto [input, status, failure] = open_source(fs, source, SourceAccess::read);
    if (!input) {
        return failure;
    }
    state.source_length = status.size;
    std::array<std::uint8_t, header_size + header_check_size> stored_header{};
    std::size_t bytes_read = 0;
    if (auto error = input->read_at(0, stored_header, bytes_read)) {
        return file_failure(FileStep::read, source, error);
    }
    // Everything that can be told without the password is told before the costly hash.
    const auto decoded = decode_header(std::span(stored_header).first(bytes_read));
    if (!decoded.header) {
        auto refusal = file_failure(FileStep::read, source, decoded.error);
        refusal.at_byte = decoded.at_byte;
        return refusal;
    }
    const StrongHeader& header = *decoded.header;
    const auto layout =
        ChunkLayout::of_stored(status.size, header.chunk_size, stored_header_size(header.version));
    const bool first = header.version == first_version;
    if (!layout && first) {
        return file_failure(FileStep::read, source, EngineError::wrong_password_or_damaged);
    }
    SecretKey key;
    if (auto error = derive_key(password, header.salt, header.kdf, key.bytes)) {
        return file_failure(FileStep::open_source, source, error);
    }
    HeaderBytes header_bytes{};
    std::copy_n(stored_header.begin(), header_size, header_bytes.begin());
    if (first) {
        ChunkStream stream(Direction::decrypt, *layout, header_bytes, {}, header, key.bytes);
        return stream.into_new_file(state, fs, *input, status, source, destination, yield);
    }
    const FileKeys keys(key.bytes);
    if (!same_check(header_check(keys, header_bytes),
                    std::span(stored_header).subspan(header_size))) {
        return file_failure(FileStep::read, source, StrongError::wrong_password);
    }
    if (!layout) {
        // The chunks do not fit the file's length: it was cut off or grown.
        auto damage = file_failure(FileStep::read, source, StrongError::damaged);
        damage.at_byte = status.size;
        return damage;
    }
    ChunkStream stream(Direction::decrypt, *layout, header_bytes, {}, header, keys.chunk);
    return stream.into_new_file(state, fs, *input, status, source, destination, yield);
}

} // namespace ferrocase
