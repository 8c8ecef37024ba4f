#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ferrocase::cli {

struct CliOptions {
    int skip_level = 0; // 0..4; the skip step is one more
    bool allow_multiple_encryption = false;
    bool delete_originals = false;
    bool strong = false;    // encrypt into name.fxs
    bool recursive = false; // a folder stands for the files below it
    bool quiet = false;     // no line for each file done
    bool forget = false;    // give up the files' recorded encryptions
    bool force = false;     // strong files may replace a different file of their name
    std::optional<std::string> password_file; // "-" is standard input
    bool help = false;
    bool version = false;
    std::vector<std::string> files;
};

struct ParsedOptions {
    CliOptions options;
    std::string error; // set for a usage error
};

ParsedOptions parse_options(const std::vector<std::string>& arguments);

extern const char* const usage_text;

// The program's name and version, one line.
std::string version_text();

} // namespace ferrocase::cli
