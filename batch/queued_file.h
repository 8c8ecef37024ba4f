#pragma once

#include "batch/app_state.h"
#include "durable_run/durable_run.h"
#include "file_system/file_result.h"
#include "fxe/transform_state.h"

#include <filesystem>
#include <string_view>
#include <system_error>

namespace ferrocase {

enum class FileMode { decrypt, encrypt, strong_encrypt, strong_decrypt };

// Whether the name ends in `extension` (lower case, with its dot), in any letter case.
bool has_extension(const std::filesystem::path& path, std::string_view extension);

// A name ending in ".fxe", in any letter case, is decrypted unless multiple encryption is allowed.
FileMode choose_mode(const std::filesystem::path& source, bool allow_multiple_encryption);

// Both work on row current_file of the queue and set its destination. The file's outcome comes
// from the run, tagged with the row, once the file is done and on disk.
void encrypt_in_place(AppState& state, DurableRun& run, const Yield& yield);
void decompress_it(AppState& state, DurableRun& run, const Yield& yield);

// Either format: a strong file is done and reported through the run at once.
void process_current_file(AppState& state, FileMode mode, DurableRun& run, const Yield& yield);

// Only the source of a successful decryption is ever removed this way (to the trash where the
// desktop has one): a file encrypted in place is the only copy.
bool should_remove_original(const AppState& state, FileMode mode, const FileResult& result);

// Deletes the name: a symbolic link is removed, not the file it points to.
std::error_code delete_original(const std::filesystem::path& path);

} // namespace ferrocase
