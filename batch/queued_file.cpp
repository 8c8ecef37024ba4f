#include "batch/queued_file.h"

#include "batch/strong_queued_file.h"
#include "file_system/engine_error.h"
#include "strong/strong_file.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace ferrocase {
bool has_extension(const std::filesystem::path& path, std::string_view extension) {
    const std::string& name = path.native();
    if (name.size() < extension.size()) {
        return false;
    }
    return std::equal(
        name.end() - static_cast<std::ptrdiff_t>(extension.size()), name.end(), extension.begin(),
        [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

FileMode choose_mode(const std::filesystem::path& source, bool allow_multiple_encryption) {
    if (!allow_multiple_encryption && has_extension(source, ".fxe")) {
        return FileMode::decrypt;
    }
    return FileMode::encrypt;
}

void encrypt_in_place(AppState& state, DurableRun& run, const Yield& yield) {
    QueueRow& row = state.file_queue.row(state.current_file);
    row.destination = row.source;
    run.encrypt(state, row.source, state.current_file, yield);
}

void decompress_it(AppState& state, DurableRun& run, const Yield& yield) {
    QueueRow& row = state.file_queue.row(state.current_file);
    const auto destination = decrypted_name(row.source);
    if (!destination) {
        row.destination.clear();
        run.report(state.current_file, file_failure(FileStep::create_destination, row.source,
                                                    EngineError::no_destination_name));
        return;
    }
    row.destination = *destination;
    run.decrypt(state, row.source, row.destination, state.current_file, yield);
}

void process_current_file(AppState& state, FileMode mode, DurableRun& run, const Yield& yield) {
    if (is_strong(mode)) {
        const QueueRow& row = state.file_queue.row(state.current_file);
        const auto destination = mode == FileMode::strong_encrypt
                                     ? strong_encrypted_name(row.source)
                                     : decrypted_name(row.source);
        run.write_new_file(row.source, destination.value_or(std::filesystem::path{}),
                           state.current_file, [&](std::unique_ptr<NewFile>& unnamed) {
                               return process_strong_file(state, mode, run.file_system(), yield,
                                                          unnamed);
                           });
    } else if (mode == FileMode::decrypt) {
        decompress_it(state, run, yield);
    } else {
        encrypt_in_place(state, run, yield);
    }
}

bool should_remove_original(const AppState& state, FileMode mode, const FileResult& result) {
    return state.delete_originals == 1 &&
           (mode == FileMode::decrypt || mode == FileMode::strong_decrypt) && result.ok();
}

std::error_code delete_original(const std::filesystem::path& path) {
    // Removing a name needs only the folder's permission. The file's mode is left alone: it may
    // be shared with other names, or be the target of a link that is the name removed here.
    std::error_code error;
    if (!std::filesystem::remove(path, error) && !error) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
    }
    return error;
}

} // namespace ferrocase
