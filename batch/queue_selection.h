#pragma once

#include "batch/app_state.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace ferrocase {

// Makes the files the queue, in the given order, from row 1. Rows beyond the new count keep what
// they held; the destinations are left to the run.
void queue_selection(AppState& state, std::span<const std::filesystem::path> files);

// Adds the files after the queued ones, in the given order, leaving out any already queued under
// this or another name (the same device and inode).
void add_to_queue(AppState& state, std::span<const std::filesystem::path> files);

// The main window's title once a selection is queued: the count follows the colon directly.
std::string files_to_process_title(std::int32_t count);

} // namespace ferrocase
