#include "cli/checked_output.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/file_list.h"
#include "cli/forget_files.h"
#include "cli/password_input.h"
#include "cli/stop_signals.h"
#include "durable_run/recovery_journal.h"

#include <iostream>
#include <unistd.h>

namespace {

int run(const ferrocase::cli::ParsedOptions& parsed, std::ostream& out) {
    using namespace ferrocase::cli;
    if (parsed.options.help) {
        out << usage_text;
        return 0;
    }
    if (parsed.options.version) {
        out << version_text();
        return 0;
    }
    if (!parsed.error.empty()) {
        std::cerr << "ferrocase-cli: " << parsed.error << "\nTry 'ferrocase-cli --help'.\n";
        return 2;
    }
    CliOptions options = parsed.options;
    if (options.forget) {
        return forget_files(options.files, ferrocase::local_file_system(),
                            ferrocase::default_journal_folder(), out, std::cerr);
    }
    const FileList list =
        list_files(options.files, options.recursive, ferrocase::default_journal_folder());
    options.files = list.files;
    const Verification verification =
        only_strong_decryptions(options) ? Verification::none : Verification::typed_twice;
    const PasswordInput password = options.password_file
                                       ? password_from_file(*options.password_file, verification)
                                       : password_from_terminal(verification);
    const std::string& refusal = !password.error.empty()          ? password.error
                                 : needs_legacy_password(options) ? password.legacy_error
                                                                  : password.error;
    if (!refusal.empty()) {
        std::cerr << "ferrocase-cli: " << refusal << "\n";
        return 2;
    }
    for (const std::string& failure : list.failures) {
        std::cerr << "ferrocase-cli: " << failure << "\n";
    }
    std::ostream silent(nullptr);
    std::ostream* progress = ::isatty(STDERR_FILENO) ? &std::cerr : nullptr;
    const StopSignals& stop = catch_stop_signals();
    const int status =
        run_files(options, password.bytes, password.strong, ferrocase::local_file_system(),
                  ferrocase::default_journal_folder(), options.quiet ? silent : out, std::cerr,
                  progress, stop);
    return status == 0 && !list.failures.empty() ? 1 : status;
}

} // namespace

int main(int argc, char** argv) {
    using namespace ferrocase::cli;
    CheckedOutput standard_output(STDOUT_FILENO);
    std::ostream out(&standard_output);
    const int status = run(parse_options({argv + 1, argv + argc}), out);
    // As GNU tools do: output that never arrived is a failure, even when every file was done.
    if (const auto error = standard_output.finish()) {
        std::cerr << "ferrocase-cli: could not write to standard output: " << error.message()
                  << "\n";
        return status == 0 ? 1 : status;
    }
    return status;
}
