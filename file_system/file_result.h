#pragma once

#include "file_system/file_system.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

namespace ferrocase {

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
    record,      // the recovery record could not be kept
    resume,      // an earlier, interrupted encryption of the file cannot be finished
    repeated,    // the same file came up earlier in the run
    interrupted, // the run was stopped part-way through the file
    refused,     // left untouched: taking it could lose data
};

// What became of one file. A failed encryption has been undone unless partly_transformed is set;
// then its recovery record lets a run with the same password and level finish it.
struct FileResult {
    FileStep failed_step = FileStep::none;
    std::filesystem::path path; // the file the failing step worked on
    std::error_code error;
    bool partly_transformed = false;
    // This run finished an encryption that an earlier run began.
    bool finished_interrupted = false;
    // A run that was stopped before its list was done had encrypted the file already: it was
    // left as it is, and the next run takes it as usual.
    bool skipped_finished = false;
    // For a repeated file: the name it came up under first. For an earlier run's encryption that
    // cannot be finished: that run's recovery record.
    std::filesystem::path other;
    // Where in the file the fault lies, when it can be told (-1 otherwise).
    std::int64_t at_byte = -1;

    bool ok() const { return failed_step == FileStep::none; }
    // One line for the user: which step failed on which file, and why.
    std::string describe() const;
};

FileResult file_failure(FileStep step, const std::filesystem::path& path, std::error_code error);

// A file to transform, opened and locked, with its status as it was then; or why it could not
// be had.
struct SourceFile {
    std::unique_ptr<RandomAccessFile> file;
    FileStatus status;
    FileResult failure;
};

enum class SourceAccess { read, update };
SourceFile open_source(FileSystem& fs, const std::filesystem::path& path, SourceAccess access);

// The name a decrypted file gets: the path without its last four characters (the ".fxe").
// Empty when nothing of a file name would be left.
std::optional<std::filesystem::path> decrypted_name(const std::filesystem::path& source);

} // namespace ferrocase
