#pragma once

#include "batch/file_queue.h"
#include "file_system/file_result.h"
#include "fxe/transform_state.h"
#include "strong/strong_header.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace ferrocase {

// What strong (.fxs) files of a run use: the password as NFC UTF-8, the password hash and
// chunk size that new files get, and whether they may replace a different file of their name.
struct StrongSettings {
    std::string password;
    bool replace_existing = false;
    const std::atomic<bool>* stop = nullptr; // see StrongOptions
    KdfParameters kdf = default_kdf;
    std::uint32_t chunk_size = default_chunk_size;
};

// The one record through which the windows, the batch run and the engine exchange data.
// Fields are reached directly; only the user-interface thread touches it.

struct AppState : EngineState {
    FileQueue file_queue;
    std::string command_path; // UTF-8
    std::string command_line; // UTF-8, lower case
    std::string window_title; // UTF-8
    std::int32_t file_count = 0;
    std::int32_t current_file = 0;
    std::int16_t delete_originals = 0;
    StrongSettings strong;
    // Set for the whole of a batch run: nothing else may change the queue or start a run.
    bool run_in_progress = false;
    // The user has been told once that the recovery record lives where a power cut empties it.
    bool record_in_memory_told = false;
};

// The one instance, created on first use and kept until the process ends.
AppState& app_state();

} // namespace ferrocase
