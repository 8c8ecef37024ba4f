#pragma once

#include "file_system/file_result.h"
#include "file_system/file_system.h"
#include "fxe/transform_state.h"
#include "strong/strong_header.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <string_view>

namespace ferrocase {

// The name a strongly encrypted file gets: the source's name with ".fxs" added.
std::filesystem::path strong_encrypted_name(const std::filesystem::path& source);

// What becomes of a file already at the destination's name.
enum class Existing {
    replace,
    // An encryption fails before it starts, or at its end if a file took the name meanwhile. A
    // decryption fails at its end unless the file holds exactly the decrypted bytes, which it
    // may then replace.
    keep,
};

struct StrongOptions {
    Existing existing = Existing::replace;
    // Once set (a second stop signal), the file in hand is dropped at the next chunk, and at once
    // during the password hash, which runs in a thread of its own and goes on unseen.
    const std::atomic<bool>* stop = nullptr;
    // Once set, the finished file is handed over here without its name and not yet forced to
    // disk, for a run to flush and name together with other files.
    std::unique_ptr<NewFile>* unnamed = nullptr;
};

// Both write `destination` as a new file that takes its name only once it is complete and on
// disk (folder entry included), replacing a file of that name as options.existing allows (a
// refusal is StrongError::would_replace); a stop fails with FileStep::interrupted. On any
// failure nothing reaches that name. The source is never changed. `password` is the NFC UTF-8
// text (strong_password); an empty one is refused. The file gets the header's version.
// Progress goes to state.source_length and state.file_position, as for the legacy format; the
// yield also runs while the password hash does.

FileResult encrypt_strong_file(EngineState& state, FileSystem& fs,
                               const std::filesystem::path& source,
                               const std::filesystem::path& destination, std::string_view password,
                               const StrongHeader& header, const Yield& yield,
                               const StrongOptions& options = {});

// Every chunk is authenticated before the plain text gets its name. A version 2 file tells why
// it is refused (StrongError): not a strong file or beyond this program's limits before any
// hashing, a wrong password from its header check, damage at a byte offset from a chunk. A
// version 1 file fails with EngineError::wrong_password_or_damaged, as it cannot tell.
FileResult decrypt_strong_file(EngineState& state, FileSystem& fs,
                               const std::filesystem::path& source,
                               const std::filesystem::path& destination, std::string_view password,
                               const Yield& yield, const StrongOptions& options = {});

} // namespace ferrocase
