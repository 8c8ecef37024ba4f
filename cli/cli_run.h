#pragma once

#include "cli/cli_options.h"
#include "engine/file_system.h"

#include <ostream>
#include <string>

namespace ferrocase::cli {

// Processes every file of the options with the given password (Windows-1252 bytes): one line per
// finished file on `out`, failures on `err`. Progress goes to `progress` when it is given.
// Returns the exit status.
int run_files(const CliOptions& options, const std::string& password, FileSystem& fs,
              std::ostream& out, std::ostream& err, std::ostream* progress);

} // namespace ferrocase::cli
