#pragma once

#include "batch/app_state.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace ferrocase {

// The document the desktop asked this program to open, spelled as it was passed: command_path
// holds it in lower case, which names another file, or none, where letter case matters. Nothing
// unless the command line was parsed and names an existing regular file.
std::optional<std::filesystem::path> opened_document(const AppState& state,
                                                     std::string_view argument_text);

// Queues that document as the only file. Returns whether there was one.
bool queue_opened_document(AppState& state, std::string_view argument_text);

} // namespace ferrocase
