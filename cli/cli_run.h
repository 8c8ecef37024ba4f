#pragma once

#include "cli/cli_options.h"
#include "engine/file_system.h"

#include <ostream>
#include <string>

namespace ferrocase::cli {

// Processes every file of the options with the given password (Windows-1252 bytes for .fxe
// files, NFC UTF-8 for .fxs files), one line per file on `out`. Progress goes to `progress`
// when it is given. Returns the exit status.
int run_files(const CliOptions& options, const std::string& password, FileSystem& fs,
              std::ostream& out, std::ostream* progress, const std::string& strong_password = {});

// Whether any of the files would use the legacy format.
bool needs_legacy_password(const CliOptions& options);

} // namespace ferrocase::cli
