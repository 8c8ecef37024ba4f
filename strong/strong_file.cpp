#include "strong/strong_file.h"

#include "file_system/engine_error.h"
#include "strong/aead_context.h"
#include "strong/background_hash.h"
#include "strong/chunk_layout.h"
#include "strong/chunk_workers.h"
#include "strong/existing_file.h"
#include "strong/header_check.h"
#include "strong/key_derivation.h"
#include "strong/strong_error.h"

#include <algorithm>
#include <optional>

namespace ferrocase {
namespace {

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
    std::unique_ptr<NewFile> release() { return std::move(file_); }

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
                             const std::filesystem::path& destination, const Yield& yield,
                             const StrongOptions& options) {
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
        // Where the new file has a name while it is written, plain text reaches it only once
        // every chunk has proved genuine: a kill cannot leave a forgery's text under that name.
        if (direction_ == Direction::decrypt && output.file().named_while_written()) {
            if (auto result = run(state, input, source, nullptr, destination, yield, options.stop);
                !result.ok()) {
                return result;
            }
            state.file_position = 1;
        }
        if (auto result =
                run(state, input, source, &output.file(), destination, yield, options.stop);
            !result.ok()) {
            return result;
        }
        input.close();
        // A file that took the name while this one was written is not replaced unseen either.
        const bool kept = options.existing == Existing::keep && exists(fs, destination);
        if (kept && (direction_ == Direction::encrypt ||
                     holds_other_bytes(fs, destination, output.file(), layout_.plain_length()))) {
            return file_failure(FileStep::replace_destination, destination,
                                StrongError::would_replace);
        }
        // A file kept for holding these very bytes is replaced at once, before anyone edits it.
        if (options.unnamed && !kept) {
            *options.unnamed = output.release();
            return {};
        }
        return output.finish(fs);
    }

private:
    // Without `output`, only checks every chunk.
    FileResult run(EngineState& state, RandomAccessFile& input, const std::filesystem::path& source,
                   NewFile* output, const std::filesystem::path& destination, const Yield& yield,
                   const std::atomic<bool>* stop) {
        const bool encrypting = direction_ == Direction::encrypt;
        ChunkWorkers workers(
            layout_.batches(),
            encrypting ? layout_.plain_batch_bytes() : layout_.stored_batch_bytes(),
            encrypting ? layout_.stored_batch_bytes() : layout_.plain_batch_bytes());
        return workers.run(
            [&](Batch& batch) {
                if (stop && *stop) {
                    return file_failure(FileStep::interrupted, source, {});
                }
                if (auto error = read(input, batch)) {
                    return file_failure(FileStep::read, source, error);
                }
                if (const auto chunk = failing_chunk(batch)) {
                    return damaged_at(source, *chunk);
                }
                if (auto error = output ? write(*output, batch) : std::error_code{}) {
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

// The password hash, yielding while it runs; why it failed, if it did.
std::optional<FileResult> hash_password(std::string_view password, const StrongHeader& header,
                                        Key& key, const std::filesystem::path& source,
                                        const Yield& yield, const std::atomic<bool>* stop) {
    const auto error = derive_key_in_background(password, header.salt, header.kdf, key, [&] {
        if (stop && *stop) {
            return false;
        }
        yield();
        return true;
    });
    if (error == std::errc::operation_canceled) {
        return file_failure(FileStep::interrupted, source, {});
    }
    if (error) {
        return file_failure(FileStep::open_source, source, error);
    }
    return std::nullopt;
}

} // namespace

std::filesystem::path strong_encrypted_name(const std::filesystem::path& source) {
    return std::filesystem::path(source.native() + ".fxs");
}

FileResult encrypt_strong_file(EngineState& state, FileSystem& fs,
                               const std::filesystem::path& source,
                               const std::filesystem::path& destination, std::string_view password,
                               const StrongHeader& header, const Yield& yield,
                               const StrongOptions& options) {
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
    // Before the costly hash: a strong file can hold nothing the user could lose by keeping it.
    if (options.existing == Existing::keep && exists(fs, destination)) {
        return file_failure(FileStep::replace_destination, destination, StrongError::would_replace);
    }
    SecretKey key;
    if (auto failure = hash_password(password, header, key.bytes, source, yield, options.stop)) {
        return *failure;
    }
    const HeaderBytes header_bytes = encode_header(header);
    if (header.version == first_version) {
        ChunkStream stream(Direction::encrypt, *layout, header_bytes, {}, header, key.bytes);
        return stream.into_new_file(state, fs, *input, status, source, destination, yield, options);
    }
    const FileKeys keys(key.bytes);
    const HeaderCheck check = header_check(keys, header_bytes);
    ChunkStream stream(Direction::encrypt, *layout, header_bytes, check, header, keys.chunk);
    return stream.into_new_file(state, fs, *input, status, source, destination, yield, options);
}

FileResult decrypt_strong_file(EngineState& state, FileSystem& fs,
                               const std::filesystem::path& source,
                               const std::filesystem::path& destination, std::string_view password,
                               const Yield& yield, const StrongOptions& options) {
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
    if (auto failure = hash_password(password, header, key.bytes, source, yield, options.stop)) {
        return *failure;
    }
    HeaderBytes header_bytes{};
    std::copy_n(stored_header.begin(), header_size, header_bytes.begin());
    if (first) {
        ChunkStream stream(Direction::decrypt, *layout, header_bytes, {}, header, key.bytes);
        return stream.into_new_file(state, fs, *input, status, source, destination, yield, options);
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
    return stream.into_new_file(state, fs, *input, status, source, destination, yield, options);
}

} // namespace ferrocase
