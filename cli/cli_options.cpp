#include "cli/cli_options.h"

#include "cli/shown_name.h"
#include "version.h"

#include <string_view>

namespace ferrocase::cli {

const char* const usage_text =
    R"(Usage: ferrocase-cli [OPTION]... FILE...

Encrypts or decrypts each FILE with a password, the same way the Ferrocase
window does. A file whose name ends in ".fxe" or ".fxs" (in any letter case) is
decrypted into the same name without that ending, replacing a file of that
name (see --force for ".fxs"); every other file is encrypted in place and keeps
its name and length, or with --strong into name.fxs.

  --strong              encrypt into name.fxs, the strong format: authenticated,
                        with a slow password hash, so that a wrong password or a
                        damaged file is refused and nothing is written. Its
                        password may hold any character but a control
                        character. ".fxs" files are decrypted with or without
                        it.
  --force               let a strong encryption replace an existing name.fxs,
                        and a strong decryption an existing file of other
                        content. Without it such a file is kept, and the file
                        is reported as failed.
  -r, --recursive       take every regular file below each FILE that is a
                        folder, in name order; symbolic links below it are not
                        followed and other file systems mounted below are not
                        entered.
  --skip LEVEL          byte skipping, 0 to 4 (default 0): only every
                        (LEVEL+1)-th byte is changed. Faster, but weaker.
                        Decrypt with the level you encrypted with.
  --multiple            encrypt ".fxe" files too (another layer with another
                        password); undo the layers with their passwords in
                        reverse order.
  --delete-originals    after a successful decryption, delete the ".fxe" or
                        ".fxs" file; with --strong, delete the plain file once
                        name.fxs is on disk. A file encrypted in place is never
                        deleted: it is the only copy.
  --password-file PATH  read the password from the first line of PATH (UTF-8,
                        or UTF-16 with a byte-order mark); "-" reads standard
                        input, or asks on it when it is a terminal. Otherwise
                        it is asked for on the terminal without echo: twice,
                        or once when every file is a ".fxs" file to decrypt.
  -q, --quiet           print no line for each file done; failures are still
                        shown.
  --forget              transform nothing: give up what the recovery records
                        hold of each FILE (an interrupted encryption that
                        cannot be finished, or one a rerun would skip), so
                        that the next run encrypts it as it is now.
  -h, --help            show this text.
  -V, --version         show the program's version.

Control characters are refused in a password. For ".fxe" files the password's
characters must exist in the Windows-1252 code page (Western letters, digits
and signs), and a wrong password is not detected: it gives other bytes. That
format is a repeating-key XOR. It keeps casual eyes out; it is no protection
against a determined attacker (one known piece of plain text reveals the
password). Use --strong for real protection.

One line per processed file goes to standard output once the file is on disk;
failures and warnings go to standard error. A name holding control characters
or bytes that are not UTF-8 is quoted as a shell would read it back. SIGINT,
SIGTERM and SIGHUP finish the file in hand and start no other; a second one
stops that file at once (a strong file, even in its password hash, then leaves
nothing). An encryption stopped any other way is finished by running it again
with the same password and level. Running the same files again after a stop
skips those the stopped run had finished, so that each is encrypted once.

Exit status: 0 when every file was processed, 1 when any file failed or was
skipped as a repeat or standard output could not be written, 2 for a usage
error or a refused password, 128+N when signal N stopped the run.
)";

namespace {

constexpr std::string_view short_flags = "hVqr";

// "-rq" for "-r -q", as other tools take them.
bool is_short_option_group(const std::string& argument) {
    return argument.size() > 2 && argument[1] != '-' &&
           argument.find_first_not_of(short_flags, 1) == std::string::npos;
}

void set_flag(CliOptions& options, char letter) {
    switch (letter) {
    case 'h':
        options.help = true;
        break;
    case 'V':
        options.version = true;
        break;
    case 'q':
        options.quiet = true;
        break;
    case 'r':
        options.recursive = true;
        break;
    }
}

} // namespace

ParsedOptions parse_options(const std::vector<std::string>& arguments) {
    ParsedOptions parsed;
    CliOptions& options = parsed.options;
    bool only_files = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (only_files || argument == "-" || argument.rfind("-", 0) != 0) {
            options.files.push_back(argument);
            continue;
        }
        if (is_short_option_group(argument)) {
            for (const char letter : argument.substr(1)) {
                set_flag(options, letter);
            }
            continue;
        }
        // Both "--skip 2" and "--skip=2".
        std::string name = argument;
        std::optional<std::string> value;
        if (const auto equals = argument.find('='); equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const bool takes_value = name == "--skip" || name == "--password-file";
        if (takes_value && !value) {
            if (index + 1 == arguments.size()) {
                parsed.error = name + " needs a value";
                return parsed;
            }
            value = arguments[++index];
        } else if (!takes_value && value) {
            parsed.error = name + " takes no value";
            return parsed;
        }

        if (name == "--") {
            only_files = true;
        } else if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version" || name == "-V") {
            options.version = true;
        } else if (name == "--multiple") {
            options.allow_multiple_encryption = true;
        } else if (name == "--delete-originals") {
            options.delete_originals = true;
        } else if (name == "--recursive" || name == "-r") {
            options.recursive = true;
        } else if (name == "--quiet" || name == "-q") {
            options.quiet = true;
        } else if (name == "--forget") {
            options.forget = true;
        } else if (name == "--strong") {
            options.strong = true;
        } else if (name == "--force") {
            options.force = true;
        } else if (name == "--password-file") {
            options.password_file = *value;
        } else if (name == "--skip") {
            if (value->size() != 1 || (*value)[0] < '0' || (*value)[0] > '4') {
                parsed.error =
                    "--skip takes a level from 0 to 4, not \"" + shown_name(*value) + "\"";
                return parsed;
            }
            options.skip_level = (*value)[0] - '0';
        } else {
            parsed.error = "unknown option " + shown_name(argument);
            return parsed;
        }
    }
    if (!options.help && !options.version && options.files.empty()) {
        parsed.error = "no files given";
    }
    return parsed;
}

std::string version_text() {
    return std::string("ferrocase-cli ") + version + "\n";
}

} // namespace ferrocase::cli
