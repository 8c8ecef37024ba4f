#pragma once

#include "engine/file_system.h"
#include "engine/keystream.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>

namespace ferrocase {

// Everything the file transform reads and advances. The progress counters are read by whoever
// displays progress while the transform yields.
struct EngineState : KeystreamState {
    std::int32_t block_size = 10000;
    std::int64_t source_length = 0;
    std::int64_t file_position = 0; // 1-based position of the block being processed
};

// Called at every point where the transform lets the user interface catch up.
using Yield = std::function<void()>;

enum class FileStep {
    none,
    open_source,
    create_destination,
    length,
    read,
    write,
    sync,
    close,
    replace_destination,
};

// What became of one file. A failed encryption has been undone unless partly_transformed is set.
struct FileResult {
    FileStep failed_step = FileStep::none;
    std::filesystem::path path; // the file the failing step worked on
    std::error_code error;
    bool partly_transformed = false;

    bool ok() const { return failed_step == FileStep::none; }
    // One line for the user: which step failed on which file, and why.
    std::string describe() const;
};

// The name a decrypted file gets: the path without its last four characters (the ".fxe").
// Empty when nothing of a file name would be left.
std::optional<std::filesystem::path> decrypted_name(const std::filesystem::path& source);

// Transforms the file in place; on failure it puts back what it had changed.
FileResult encrypt_file(EngineState& state, FileSystem& fs, const std::filesystem::path& path,
                        const Yield& yield);

// How far a decrypted file is written before decrypt_file returns. Forcing a file of a gigabyte
// to disk takes seconds, so it is asked for only when the source is about to be deleted; a file
// that replaces an existing one always goes to disk first.
enum class Durability { page_cache, on_disk };

// Transforms `source` into `destination`, replacing an existing destination only once the new
// content is complete. The source is never changed. The new file is no more readable than the
// source.
FileResult decrypt_file(EngineState& state, FileSystem& fs, const std::filesystem::path& source,
                        const std::filesystem::path& destination, Durability durability,
                        const Yield& yield);

} // namespace ferrocase
