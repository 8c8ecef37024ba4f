#pragma once

#include "batch/app_state.h"
#include "engine/file_transform.h"

#include <filesystem>
#include <system_error>

namespace ferrocase {

enum class FileMode { decrypt, encrypt, strong_encrypt, strong_decrypt };

// A name ending in ".fxe", in any letter case, is decrypted unless multiple encryption is allowed.
FileMode choose_mode(const std::filesystem::path& source, bool allow_multiple_encryption);

// Both work on row current_file of the queue and set its destination.
FileResult encrypt_in_place(AppState& state, FileSystem& fs, const Yield& yield);
FileResult decompress_it(AppState& state, FileSystem& fs, const Yield& yield);

FileResult process_current_file(AppState& state, FileMode mode, FileSystem& fs, const Yield& yield);

// Only the source of a successful decryption is ever removed this way (to the trash where the
// desktop has one): a file encrypted in place is the only copy.
bool should_remove_original(const AppState& state, FileMode mode, const FileResult& result);

// Clears the read-only permission, then deletes the file.
std::error_code delete_original(const std::filesystem::path& path);

} // namespace ferrocase
