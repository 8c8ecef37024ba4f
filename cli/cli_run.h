#pragma once

#include "cli/cli_options.h"
#include "cli/stop_signals.h"
#include "engine/file_system.h"

#include <filesystem>
#include <ostream>
#include <string>

namespace ferrocase::cli {

// Processes every file of the options with the given password (Windows-1252 bytes): one line per
// file done on `out`, once it is on disk, and one per failure on `err`. Progress goes to
// `progress` when it is given. Returns the exit status: 128 plus the signal's number when a stop
// signal ended the run early.
int run_files(const CliOptions& options, const std::string& password, FileSystem& fs,
              const std::filesystem::path& journal_folder, std::ostream& out, std::ostream& err,
              std::ostream* progress, const StopSignals& stop);

} // namespace ferrocase::cli
