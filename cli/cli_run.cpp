#include "cli/cli_run.h"

#include "batch/queued_file.h"
#include "batch/strong_queued_file.h"

#include <chrono>

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

} // namespace

bool needs_legacy_password(const CliOptions& options) {
    for (const auto& file : options.files) {
        if (!is_strong(choose_file_mode(file, options.allow_multiple_encryption, options.strong))) {
            return true;
        }
    }
    return false;
}

int run_files(const CliOptions& options, const std::string& password, FileSystem& fs,
              std::ostream& out, std::ostream* progress, const std::string& strong_password) {
    AppState state;
    state.password = password;
    state.strong.password = strong_password;
    state.skip_step = static_cast<std::int16_t>(options.skip_level + 1);
    state.delete_originals = options.delete_originals ? 1 : 0;
    for (const auto& file : options.files) {
        state.file_queue.row(++state.file_count).source = file;
    }

    ProgressLine line(progress, state);
    bool all_ok = true;
    for (state.current_file = 1; state.current_file <= state.file_count; ++state.current_file) {
        const QueueRow& row = state.file_queue.row(state.current_file);
        const FileMode mode =
            choose_file_mode(row.source, options.allow_multiple_encryption, options.strong);
        const Yield yield = [&] { line.update(); };
        const FileResult result = is_strong(mode) ? process_strong_file(state, mode, fs, yield)
                                                  : process_current_file(state, mode, fs, yield);
        line.clear();
        if (!result.ok()) {
            all_ok = false;
            out << "failed     " << result.describe() << "\n";
            continue;
        }
        if (mode == FileMode::encrypt) {
            out << "encrypted  " << row.source.string() << "\n";
            continue;
        }
        out << (mode == FileMode::strong_encrypt ? "encrypted  " : "decrypted  ")
            << row.source.string() << " -> " << row.destination.string();
        if (should_remove_original(state, mode, result) ||
            should_unlink_plain_original(state, mode, result)) {
            if (const auto error = delete_original(row.source)) {
                all_ok = false;
                out << "; could not delete the original: " << error.message();
            } else {
                out << "; original deleted";
            }
        }
        out << "\n";
    }
    out << std::flush;
    return all_ok ? 0 : 1;
}

} // namespace ferrocase::cli
