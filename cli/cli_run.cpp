#include "cli/cli_run.h"

#include "batch/queued_file.h"
#include "batch/strong_queued_file.h"
#include "cli/shown_name.h"
#include "strong/key_derivation.h"

#include <chrono>
#include <filesystem>
#include <ostream>
#include <vector>

namespace ferrocase::cli {
namespace {

using Clock = std::chrono::steady_clock;

// A one-line percentage on a terminal, shown only once the work has taken a while and then at
// most ten times a second.
class ProgressLine {
public:
    ProgressLine(std::ostream* stream, const AppState& state) : stream_(stream), state_(state) {}

    void update() {
        if (!stream_) {
            return;
        }
        const auto now = Clock::now();
        if (now - started_ < std::chrono::milliseconds(500) ||
            now - last_shown_ < std::chrono::milliseconds(100)) {
            return;
        }
        last_shown_ = now;
        const std::int64_t percent =
            state_.source_length > 0 ? (state_.file_position - 1) * 100 / state_.source_length : 0;
        *stream_ << "\r" << percent << "%  file " << state_.current_file << " of "
                 << state_.file_count << "  " << std::flush;
        shown_ = true;
    }

    void clear() {
        if (shown_) {
            *stream_ << "\r\033[K" << std::flush;
            shown_ = false;
        }
    }

private:
    std::ostream* stream_;
    const AppState& state_;
    Clock::time_point started_ = Clock::now();
    Clock::time_point last_shown_{};
    bool shown_ = false;
};

// The result's own text, with its names made safe to print.
std::string shown_failure(FileResult result) {
    result.path = shown_name(result.path.native());
    result.other = shown_name(result.other.native());
    return result.describe();
}

// Writes a line for each file the run has settled; false when any failed or was skipped.
bool report(AppState& state, DurableRun& run, const std::vector<FileMode>& modes, std::ostream& out,
            std::ostream& err, ProgressLine& line) {
    bool all_ok = true;
    for (const FileOutcome& outcome : run.take_outcomes()) {
        line.clear();
        const FileResult& result = outcome.result;
        const QueueRow& row = state.file_queue.row(outcome.tag);
        const FileMode mode = modes[static_cast<std::size_t>(outcome.tag)];
        if (!result.ok()) {
            all_ok = false;
            err << "ferrocase-cli: " << shown_failure(result) << std::endl;
            continue;
        }
        if (result.skipped_finished) {
            out << "skipped    " << row.source.string()
                << ": already encrypted by the interrupted run; run again to undo it" << std::endl;
            continue;
        }
        if (mode == FileMode::encrypt) {
            out << "encrypted  " << shown_name(row.source.native())
                << (result.finished_interrupted ? " (finished an interrupted encryption)" : "")
                << std::endl;
            continue;
        }
        out << (mode == FileMode::strong_encrypt ? "encrypted  " : "decrypted  ")
            << shown_name(row.source.native()) << " -> " << shown_name(row.destination.native());
        if (should_remove_original(state, mode, result) ||
            should_unlink_plain_original(state, mode, result)) {
            std::error_code ignored;
            const bool link = std::filesystem::is_symlink(row.source, ignored);
            if (const auto error = run.remove_original(outcome.tag, row.source, delete_original)) {
                all_ok = false;
                out << std::endl;
                err << "ferrocase-cli: could not delete " << shown_name(row.source.native()) << ": "
                    << error.message() << std::endl;
                continue;
            }
            out << (link ? "; link deleted, not the file it points to" : "; original deleted");
        }
        // A line at a time, so that a reader sees each file as soon as it is done.
        out << std::endl;
    }
    return all_ok;
}

} // namespace

bool needs_legacy_password(const CliOptions& options) {
    for (const auto& file : options.files) {
        if (!is_strong(choose_file_mode(file, options.allow_multiple_encryption, options.strong))) {
            return true;
        }
    }
    return false;
}

bool only_strong_decryptions(const CliOptions& options) {
    for (const auto& file : options.files) {
        if (choose_file_mode(file, options.allow_multiple_encryption, options.strong) !=
            FileMode::strong_decrypt) {
            return false;
        }
    }
    return true;
}

int run_files(const CliOptions& options, const std::string& password,
              const std::string& strong_password, FileSystem& fs,
              const std::filesystem::path& journal_folder, std::ostream& out, std::ostream& err,
              std::ostream* progress, const StopSignals& stop) {
    AppState state;
    state.password = password;
    state.strong.password = strong_password;
    state.strong.replace_existing = options.force;
    state.strong.stop = &stop.stop_now;
    state.skip_step = static_cast<std::int16_t>(options.skip_level + 1);
    state.delete_originals = options.delete_originals ? 1 : 0;
    for (const auto& file : options.files) {
        state.file_queue.row(++state.file_count).source = file;
    }

    ProgressLine line(progress, state);
    bool all_ok = true;
    std::vector<FileMode> modes(static_cast<std::size_t>(state.file_count) + 1);
    {
        DurableRun run(fs, journal_folder);
        for (const auto& leftover : run.journal().removed_leftovers()) {
            err << "ferrocase-cli: removed " << shown_name(leftover.native())
                << ", a temporary file an interrupted run had left" << std::endl;
        }
        run.stop_when(&stop.stop_now);
        // Without a record the files encrypted in place say why on their own.
        run.plan({options.files.begin(), options.files.end()}, 1);
        for (state.current_file = 1; state.current_file <= state.file_count && !stop.first;
             ++state.current_file) {
            const QueueRow& row = state.file_queue.row(state.current_file);
            const FileMode mode =
                choose_file_mode(row.source, options.allow_multiple_encryption, options.strong);
            modes[static_cast<std::size_t>(state.current_file)] = mode;
            process_current_file(state, mode, run, [&] { line.update(); });
            all_ok = report(state, run, modes, out, err, line) && all_ok;
        }
        const bool took_every_file = state.current_file > state.file_count;
        run.flush();
        all_ok = report(state, run, modes, out, err, line) && all_ok;
        // Told once: the files a stopped run never took, which this run did not take either.
        for (const auto& file : run.journal().remaining()) {
            err << "ferrocase-cli: a stopped run did not get to " << shown_name(file.native())
                << std::endl;
        }
        run.journal().drop_earlier_plans();
        if (took_every_file) {
            run.complete();
        }
        if (run.journal().kept_in_memory()) {
            err << "ferrocase-cli: warning: the recovery record in " << journal_folder.string()
                << " is on a file system that a power cut empties (such as tmpfs); set "
                   "XDG_STATE_HOME to a folder on a disk"
                << std::endl;
        }
    }
    wipe(state.password);
    wipe(state.strong.password);
    if (const int number = stop.first) {
        const int not_started = state.file_count - state.current_file + 1;
        err << "ferrocase-cli: stopped by signal " << number;
        if (not_started > 0) {
            err << "; " << not_started << (not_started == 1 ? " file was" : " files were")
                << " not started";
        }
        err << std::endl;
        return 128 + number;
    }
    return all_ok ? 0 : 1;
}

} // namespace ferrocase::cli
