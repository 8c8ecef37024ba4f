#include "cli/cli_run.h"

#include "batch/queued_file.h"
#include "batch/strong_queued_file.h"
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
            err << (result.failed_step == FileStep::repeated ? "" : "failed     ")
                << result.describe() << std::endl;
            continue;
        }
        if (mode == FileMode::encrypt) {
            out << "encrypted  " << row.source.string()
                << (result.finished_interrupted ? " (finished an interrupted encryption)" : "")
                << std::endl;
            continue;
        }
        out << (mode == FileMode::strong_encrypt ? "encrypted  " : "decrypted  ")
            << row.source.string() << " -> " << row.destination.string();
        if (should_remove_original(state, mode, result) ||
            should_unlink_plain_original(state, mode, result)) {
            std::error_code ignored;
            const bool link = std::filesystem::is_symlink(row.source, ignored);
            if (const auto error = delete_original(row.source)) {
                all_ok = false;
                out << std::endl;
                err << "failed     could not delete " << row.source.string() << ": "
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
        run.stop_when(&stop.stop_now);
        for (state.current_file = 1; state.current_file <= state.file_count && !stop.first;
             ++state.current_file) {
            const QueueRow& row = state.file_queue.row(state.current_file);
            const FileMode mode =
                choose_file_mode(row.source, options.allow_multiple_encryption, options.strong);
            modes[static_cast<std::size_t>(state.current_file)] = mode;
            process_current_file(state, mode, run, [&] { line.update(); });
            all_ok = report(state, run, modes, out, err, line) && all_ok;
        }
        run.flush();
        all_ok = report(state, run, modes, out, err, line) && all_ok;
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
