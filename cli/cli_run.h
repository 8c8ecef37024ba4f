#pragma once

#include "cli/cli_options.h"
#include "cli/stop_signals.h"
#include "file_system/file_system.h"

#include <filesystem>
#include <ostream>
#include <string>

namespace ferrocase::cli {

// Processes every file of the options, one line per file done on `out`, once it is on disk, and
// one per failure on `err`. `password` is in Windows-1252 for .fxe files, `strong_password` in
// NFC UTF-8 for .fxs files. Progress goes to `progress` when it is given. Returns the exit
// status: 128 plus the signal's number when a stop signal ended the run early.
int run_files(const CliOptions& options, const std::string& password,
              const std::string& strong_password, FileSystem& fs,
              const std::filesystem::path& journal_folder, std::ostream& out, std::ostream& err,
              std::ostream* progress, const StopSignals& stop);

// Whether any of the files would use the legacy format.
bool needs_legacy_password(const CliOptions& options);

// Whether every file is a strong file to decrypt, which tells a wrong password by itself.
bool only_strong_decryptions(const CliOptions& options);

} // namespace ferrocase::cli
