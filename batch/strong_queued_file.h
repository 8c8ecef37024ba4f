#pragma once

#include "batch/app_state.h"
#include "batch/queued_file.h"
#include "file_system/file_system.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace ferrocase {

// A ".fxs" file is always decrypted; with strong encryption on, every file that is neither
// ".fxe" nor ".fxs" is encrypted into name.fxs. The rest is the legacy choice.
FileMode choose_file_mode(const std::filesystem::path& source, bool allow_multiple_encryption,
                          bool strong_encryption);

bool is_strong(FileMode mode);

// Whether any queued file would use the legacy format, or the strong one, with these options.
bool queue_needs_legacy_password(const AppState& state, bool allow_multiple_encryption,
                                 bool strong_encryption);
bool queue_needs_strong_password(const AppState& state, bool allow_multiple_encryption,
                                 bool strong_encryption);

// The existing files that strong files of the queue would take the place of: name.fxs for an
// encryption, the plain name for a decryption. In queue order.
std::vector<std::filesystem::path> names_in_the_way(const AppState& state, FileSystem& fs,
                                                    bool allow_multiple_encryption,
                                                    bool strong_encryption);

// Works on row current_file of the queue and sets its destination. The new file is handed over
// in `unnamed`, for the run to flush and name.
FileResult process_strong_file(AppState& state, FileMode mode, FileSystem& fs, const Yield& yield,
                               std::unique_ptr<NewFile>& unnamed);

// After a strong encryption the plain original is unlinked, never trashed: the trash would keep
// the plain text. The new file is on disk before the run reports the encryption.
bool should_unlink_plain_original(const AppState& state, FileMode mode, const FileResult& result);

} // namespace ferrocase
