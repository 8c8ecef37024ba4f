#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/password_input.h"
#include "cli/stop_signals.h"
#include "engine/recovery_journal.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace ferrocase::cli;
    const ParsedOptions parsed = parse_options({argv + 1, argv + argc});
    if (parsed.options.help) {
        std::cout << usage_text;
        return 0;
    }
    if (parsed.options.version) {
        std::cout << version_text();
        return 0;
    }
    if (!parsed.error.empty()) {
        std::cerr << "ferrocase-cli: " << parsed.error << "\nTry 'ferrocase-cli --help'.\n";
        return 2;
    }
    const CliOptions& options = parsed.options;
    const PasswordInput password = options.password_file
                                       ? password_from_file(*options.password_file)
                                       : password_from_terminal();
    const std::string& refusal = !password.error.empty()          ? password.error
                                 : needs_legacy_password(options) ? password.legacy_error
                                                                  : password.error;
    if (!refusal.empty()) {
        std::cerr << "ferrocase-cli: " << refusal << "\n";
        return 2;
    }
    std::ostream* progress = ::isatty(STDERR_FILENO) ? &std::cerr : nullptr;
    const StopSignals& stop = catch_stop_signals();
    return run_files(options, password.bytes, password.strong, ferrocase::local_file_system(),
                     ferrocase::default_journal_folder(), std::cout, std::cerr, progress, stop);
}
