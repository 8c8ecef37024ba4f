#pragma once

#include "batch/app_state.h"
#include "batch/batch_window.h"
#include "durable_run/recovery_journal.h"
#include "file_system/file_system.h"

namespace ferrocase {

enum class RunOutcome {
    refused,         // a check failed; its message was shown and nothing changed
    already_running, // another run owns the queue; nothing was done
    finished,        // every queued file was taken
    stopped_to_quit, // the user asked to end the program; no file was left half-done
};

// The encrypt/decrypt button: checks the password boxes and the queue, then takes every queued
// file in turn and leaves the window idle with an empty queue. A file counts as done once it is
// on disk; the recovery record of interrupted encryptions lives in `journal_folder`.
RunOutcome run_batch(AppState& state, BatchWindow& window, FileSystem& fs,
                     const std::filesystem::path& journal_folder = default_journal_folder());

} // namespace ferrocase
