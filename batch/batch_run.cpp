#include "batch/batch_run.h"

#include "batch/queued_file.h"
#include "batch/strong_queued_file.h"
#include "file_system/engine_error.h"
#include "fxe/password_encoding.h"
#include "strong/key_derivation.h"
#include "strong/password_text.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ferrocase {
namespace {

constexpr const char* passwords_differ_text =
    "Unable to Process. Password Box and Password Verification Box hold different information.";
constexpr const char* no_password_text = "Unable to Process. No Password provided.";
constexpr const char* empty_protects_nothing_text = " An empty password protects nothing.";
constexpr const char* no_files_text = "Unable to Process. No files have been selected !";
constexpr const char* finished_text = "Finished !";
constexpr const char* replace_question_text =
    "Strong files would take the place of these existing files:";
constexpr const char* replace_choices_text =
    "Replace them, skip them (they are kept, and reported as not done), or cancel the run?";

std::string control_character_text(std::size_t index) {
    return "Unable to Process. Character " + std::to_string(index + 1) +
           " of the Password is a control character (such as a tab), which a password may not "
           "hold.";
}

std::string unusable_character_text(std::size_t index) {
    return "Unable to Process. Character " + std::to_string(index + 1) +
           " of the Password cannot be used: a password may hold only characters of the Western "
           "European (Windows-1252) character set.";
}

// The first failing check's message, or nothing when the run may start. Only the legacy
// format limits the password's characters.
std::optional<std::string> refusal(const AppState& state, const std::u32string& password,
                                   const std::u32string& verification,
                                   const EncodedPassword& encoded, bool legacy_needed,
                                   bool strong_needed) {
    if (verification != password) {
        return passwords_differ_text;
    }
    if (password.empty()) {
        return std::string(no_password_text) + (strong_needed ? empty_protects_nothing_text : "");
    }
    // The command line refuses them too: both must take the same passwords.
    const auto control = std::find_if(password.begin(), password.end(),
                                      [](char32_t character) { return character < 0x20; });
    if (control != password.end()) {
        return control_character_text(static_cast<std::size_t>(control - password.begin()));
    }
    if (!encoded.ok() && legacy_needed) {
        return unusable_character_text(encoded.unmappable_index);
    }
    if (state.file_count < 1) {
        return no_files_text;
    }
    return std::nullopt;
}

std::string status_title(const AppState& state) {
    return "File Queue:" + std::to_string(state.file_count - state.current_file);
}

std::string list_text(const std::string& heading, const std::vector<std::string>& lines) {
    std::string text = heading;
    for (const auto& line : lines) {
        text += "\n" + line;
    }
    return text;
}

std::string failures_text(const std::vector<std::string>& failures) {
    return list_text(failures.size() == 1
                         ? "One file could not be processed:"
                         : std::to_string(failures.size()) + " files could not be processed:",
                     failures);
}

// Clears the run's flag however the run is left.
class RunGuard {
public:
    explicit RunGuard(AppState& state) : state_(state) { state_.run_in_progress = true; }
    // The strong password goes with the run; the legacy one stays until the next run, as the
    // window's design has it.
    ~RunGuard() {
        wipe(state_.strong.password);
        state_.run_in_progress = false;
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    AppState& state_;
};

// What the user hears of the files once they are done.
struct RunReport {
    std::vector<std::string> failures;
    std::vector<std::string> finished_interrupted;
    std::vector<std::string> skipped_finished;
    // Part-way files whose encryption cannot be finished (another password, a damaged record).
    std::vector<std::filesystem::path> cannot_finish;
    std::string record_in_memory; // the record's folder, when a power cut would empty it
};

// Settles the files the run has finished: failures are noted, and the sources of decryptions
// that are safely on disk go when the user asked for it.
void settle(AppState& state, BatchWindow& window, DurableRun& run,
            const std::vector<FileMode>& modes, RunReport& report) {
    for (const FileOutcome& outcome : run.take_outcomes()) {
        const FileResult& result = outcome.result;
        const auto source = state.file_queue.row(outcome.tag).source;
        const FileMode mode = modes[static_cast<std::size_t>(outcome.tag)];
        if (!result.ok()) {
            report.failures.push_back(result.describe());
        }
        if (result.failed_step == FileStep::resume &&
            result.error != EngineError::record_unreadable) {
            report.cannot_finish.push_back(source);
        }
        if (result.finished_interrupted) {
            report.finished_interrupted.push_back(source.string());
        }
        if (result.skipped_finished) {
            report.skipped_finished.push_back(source.string());
        }
        if (should_remove_original(state, mode, result)) {
            if (const auto error = run.remove_original(outcome.tag, source, [&](const auto& path) {
                    return window.remove_original(path);
                })) {
                report.failures.push_back(source.string() +
                                          ": kept: could not be moved to the trash (" +
                                          error.message() + ")");
            }
        } else if (should_unlink_plain_original(state, mode, result)) {
            if (const auto error = run.remove_original(outcome.tag, source, [&](const auto& path) {
                    return run.file_system().remove(path);
                })) {
                report.failures.push_back("Could not remove the original " + source.string() +
                                          ": " + error.message());
            }
        }
    }
}

// Takes the file in row current_file; its outcome comes from the run.
FileMode process_row(AppState& state, BatchWindow& window, DurableRun& run, RunReport& report) {
    const auto source = state.file_queue.row(state.current_file).source;
    const auto mode =
        choose_file_mode(source, window.Check2_value() == 1, window.strong_encryption_value() == 1);
    // Options changed during the run can bring a legacy file to a password it cannot hold.
    if (!is_strong(mode) && state.password.empty()) {
        report.failures.push_back(
            "Could not process " + source.string() +
            ": the password holds characters that only strong (.fxs) files can use");
        return mode;
    }
    if (is_strong(mode) && state.strong.password.empty()) {
        report.failures.push_back("Could not process " + source.string() +
                                  ": the password is not valid Unicode");
        return mode;
    }
    if (mode == FileMode::encrypt || mode == FileMode::strong_encrypt) {
        window.disable_form();
    }
    window.set_busy_pointer(true);
    process_current_file(state, mode, run, window.block_yield());
    window.yield();
    return mode;
}

// Part-way files that cannot be finished stay refused until the user gives their encryption up.
void offer_to_give_up(BatchWindow& window, FileSystem& fs,
                      const std::filesystem::path& journal_folder,
                      const std::vector<std::filesystem::path>& files) {
    std::vector<std::string> names;
    for (const auto& file : files) {
        names.push_back(file.string());
    }
    if (files.empty() ||
        !window.ask_question(list_text("An interrupted encryption of these files cannot be "
                                       "finished. Give it up, so that the next run encrypts "
                                       "them as they are now?",
                                       names))) {
        return;
    }
    RecoveryJournal journal(fs, journal_folder);
    journal.load_unfinished();
    for (const auto& file : files) {
        std::error_code error;
        journal.forget_file(file, error);
        if (error) {
            window.show_message("Could not change the recovery record of " + file.string() + ": " +
                                    error.message(),
                                MessageIcon::error);
        }
    }
}

void finish(AppState& state, BatchWindow& window, const RunReport& report,
            const std::function<void()>& after_failures) {
    window.set_Timer1_enabled(false);
    window.set_ProgressBar1(0.0F);
    window.set_ProgressBar2(0.0F);
    for (state.current_file = 1; state.current_file <= state.file_count; ++state.current_file) {
        state.file_queue.row(state.current_file) = QueueRow{};
    }
    window.set_title(state.window_title);
    window.enable_window();
    window.set_busy_pointer(false);
    // A failed file is worth a click even on the way out; "Finished !" is not.
    if (!report.failures.empty()) {
        window.show_message(failures_text(report.failures), MessageIcon::error);
    }
    after_failures();
    if (!report.finished_interrupted.empty()) {
        window.show_message(list_text("An earlier run had been stopped part-way through "
                                      "encrypting these files; their encryption is now finished:",
                                      report.finished_interrupted),
                            MessageIcon::information);
    }
    if (!report.skipped_finished.empty()) {
        window.show_message(list_text("Skipped, already encrypted by the interrupted run; run "
                                      "again to undo it:",
                                      report.skipped_finished),
                            MessageIcon::information);
    }
    if (!report.record_in_memory.empty()) {
        window.show_message("The recovery record of interrupted encryptions is kept in " +
                                report.record_in_memory +
                                ", on a file system that a power cut empties (such as tmpfs). Set "
                                "XDG_STATE_HOME to a folder on a disk to keep it safe.",
                            MessageIcon::exclamation);
    }
    if (!window.quit_requested()) {
        window.show_message(finished_text, MessageIcon::exclamation);
    }
    state.file_count = 0;
    window.enable_form();
}

} // namespace

RunOutcome run_batch(AppState& state, BatchWindow& window, FileSystem& fs,
                     const std::filesystem::path& journal_folder) {
    if (state.run_in_progress) {
        return RunOutcome::already_running;
    }
    std::u32string password = window.Text1_text();
    std::u32string verification = window.Text2_text();
    EncodedPassword encoded = encode_windows1252(password);
    const bool strong = window.strong_encryption_value() == 1;
    const bool multiple = window.Check2_value() == 1;
    const bool legacy_needed = !strong || queue_needs_legacy_password(state, multiple, strong);
    const bool strong_needed = strong || queue_needs_strong_password(state, multiple, strong);
    const auto message =
        refusal(state, password, verification, encoded, legacy_needed, strong_needed);
    wipe(verification);
    if (message) {
        wipe(password);
        wipe(encoded.bytes);
        window.show_message(*message, MessageIcon::error);
        return RunOutcome::refused;
    }
    // Asked once, before any file is touched.
    ReplaceAnswer answer = ReplaceAnswer::skip;
    if (const auto names = names_in_the_way(state, fs, multiple, strong); !names.empty()) {
        std::vector<std::string> lines;
        for (const auto& name : names) {
            lines.push_back(name.string());
        }
        answer = window.ask_to_replace(list_text(replace_question_text, lines) + "\n\n" +
                                       replace_choices_text);
    }
    if (answer == ReplaceAnswer::cancel) {
        wipe(password);
        wipe(encoded.bytes);
        return RunOutcome::refused;
    }

    RunGuard guard(state);
    window.set_Timer1_enabled(true);
    state.delete_originals = static_cast<std::int16_t>(window.Check1_value());
    state.skip_step = static_cast<std::int16_t>(window.Slider1_value() + 1);
    state.strong.replace_existing = answer == ReplaceAnswer::replace;
    state.password = std::move(encoded.bytes);
    state.strong.password = strong_password(password).value_or(std::string{});
    wipe(password);

    RunReport report;
    {
        DurableRun run(fs, journal_folder);
        std::vector<std::filesystem::path> files;
        for (std::int32_t row = 1; row <= state.file_count; ++row) {
            files.push_back(state.file_queue.row(row).source);
        }
        // Without a record the files encrypted in place say why on their own.
        run.plan(files, 1);
        std::vector<FileMode> modes(static_cast<std::size_t>(state.file_count) + 1);
        const std::int32_t bound = state.file_count;
        for (state.current_file = 1; state.current_file <= bound; ++state.current_file) {
            if (window.quit_requested()) {
                break;
            }
            window.set_title(status_title(state));
            window.yield();
            if (window.quit_requested()) {
                break;
            }
            modes[static_cast<std::size_t>(state.current_file)] =
                process_row(state, window, run, report);
            settle(state, window, run, modes, report);
        }
        const bool took_every_file = state.current_file > bound;
        run.flush();
        settle(state, window, run, modes, report);
        if (took_every_file) {
            run.complete();
        }
        if (run.journal().kept_in_memory() && !state.record_in_memory_told) {
            state.record_in_memory_told = true;
            report.record_in_memory = journal_folder.string();
        }
    }

    const bool stopped = window.quit_requested();
    finish(state, window, report,
           [&] { offer_to_give_up(window, fs, journal_folder, report.cannot_finish); });
    return stopped ? RunOutcome::stopped_to_quit : RunOutcome::finished;
}

} // namespace ferrocase
