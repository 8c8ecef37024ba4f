#include "batch/queued_file.h"

#include "engine/engine_error.h"

#include <algorithm>
#include <cctype>

namespace ferrocase {
namespace {

bool ends_with_fxe(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string ending = name.substr(name.size() - 4);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ending == ".fxe";
}

} // namespace

FileMode choose_mode(const std::filesystem::path& source, bool allow_multiple_encryption) {
    if (!allow_multiple_encryption && ends_with_fxe(source.native())) {
        return FileMode::decrypt;
    }
    return FileMode::encrypt;
}

FileResult encrypt_in_place(AppState& state, FileSystem& fs, const Yield& yield) {
    QueueRow& row = state.file_queue.row(state.current_file);
    row.destination = row.source;
    return encrypt_file(state, fs, row.source, yield);
}

FileResult decompress_it(AppState& state, FileSystem& fs, const Yield& yield) {
    QueueRow& row = state.file_queue.row(state.current_file);
    const auto destination = decrypted_name(row.source);
    if (!destination) {
        row.destination.clear();
        return {.failed_step = FileStep::create_destination,
                .path = row.source,
                .error = EngineError::no_destination_name,
                .partly_transformed = false};
    }
    row.destination = *destination;
    // The source is the only other copy: once it is to be deleted, the new file must be on disk.
    const Durability durability =
        state.delete_originals == 1 ? Durability::on_disk : Durability::page_cache;
    return decrypt_file(state, fs, row.source, row.destination, durability, yield);
}

FileResult process_current_file(AppState& state, FileMode mode, FileSystem& fs,
                                const Yield& yield) {
    return mode == FileMode::decrypt ? decompress_it(state, fs, yield)
                                     : encrypt_in_place(state, fs, yield);
}

bool should_remove_original(const AppState& state, FileMode mode, const FileResult& result) {
    return state.delete_originals == 1 &&
           (mode == FileMode::decrypt || mode == FileMode::strong_decrypt) && result.ok();
}

std::error_code delete_original(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, error);
    if (error) {
        return error;
    }
    std::filesystem::remove(path, error);
    return error;
}

} // namespace ferrocase
