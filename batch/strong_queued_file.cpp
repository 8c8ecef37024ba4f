#include "batch/strong_queued_file.h"

#include "file_system/engine_error.h"
#include "strong/existing_file.h"
#include "strong/strong_file.h"

namespace ferrocase {
FileMode choose_file_mode(const std::filesystem::path& source, bool allow_multiple_encryption,
                          bool strong_encryption) {
    if (has_extension(source, ".fxs")) {
        return FileMode::strong_decrypt;
    }
    if (strong_encryption && !has_extension(source, ".fxe")) {
        return FileMode::strong_encrypt;
    }
    return choose_mode(source, allow_multiple_encryption);
}

bool is_strong(FileMode mode) {
    return mode == FileMode::strong_encrypt || mode == FileMode::strong_decrypt;
}

namespace {

bool any_queued_file_in_format(const AppState& state, bool allow_multiple_encryption,
                               bool strong_encryption, bool strong_format) {
    for (std::int32_t row = 1; row <= state.file_count; ++row) {
        if (is_strong(choose_file_mode(state.file_queue.row(row).source, allow_multiple_encryption,
                                       strong_encryption)) == strong_format) {
            return true;
        }
    }
    return false;
}

} // namespace

bool queue_needs_legacy_password(const AppState& state, bool allow_multiple_encryption,
                                 bool strong_encryption) {
    return any_queued_file_in_format(state, allow_multiple_encryption, strong_encryption, false);
}

bool queue_needs_strong_password(const AppState& state, bool allow_multiple_encryption,
                                 bool strong_encryption) {
    return any_queued_file_in_format(state, allow_multiple_encryption, strong_encryption, true);
}

std::vector<std::filesystem::path> names_in_the_way(const AppState& state, FileSystem& fs,
                                                    bool allow_multiple_encryption,
                                                    bool strong_encryption) {
    std::vector<std::filesystem::path> names;
    for (std::int32_t row = 1; row <= state.file_count; ++row) {
        const auto& source = state.file_queue.row(row).source;
        const FileMode mode =
            choose_file_mode(source, allow_multiple_encryption, strong_encryption);
        const auto destination = mode == FileMode::strong_encrypt   ? strong_encrypted_name(source)
                                 : mode == FileMode::strong_decrypt ? decrypted_name(source)
                                                                    : std::nullopt;
        if (destination && exists(fs, *destination)) {
            names.push_back(*destination);
        }
    }
    return names;
}

FileResult process_strong_file(AppState& state, FileMode mode, FileSystem& fs, const Yield& yield,
                               std::unique_ptr<NewFile>& unnamed) {
    QueueRow& row = state.file_queue.row(state.current_file);
    const StrongOptions options{.existing = state.strong.replace_existing ? Existing::replace
                                                                          : Existing::keep,
                                .stop = state.strong.stop,
                                .unnamed = &unnamed};
    if (mode == FileMode::strong_encrypt) {
        row.destination = strong_encrypted_name(row.source);
        return encrypt_strong_file(state, fs, row.source, row.destination, state.strong.password,
                                   new_header(state.strong.kdf, state.strong.chunk_size), yield,
                                   options);
    }
    const auto destination = decrypted_name(row.source);
    if (!destination) {
        row.destination.clear();
        return file_failure(FileStep::create_destination, row.source,
                            EngineError::no_destination_name);
    }
    row.destination = *destination;
    return decrypt_strong_file(state, fs, row.source, row.destination, state.strong.password, yield,
                               options);
}

bool should_unlink_plain_original(const AppState& state, FileMode mode, const FileResult& result) {
    return state.delete_originals == 1 && mode == FileMode::strong_encrypt && result.ok();
}

} // namespace ferrocase
