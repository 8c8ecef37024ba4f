#pragma once

#include "file_system/file_result.h"
#include "fxe/transform_state.h"
#include "tests/support/file_helpers.h"

#include <filesystem>
#include <string>

namespace ferrocase::testing {

constexpr const char* document_password = "Tiger&Lily 42";

// Writes the plain bytes to the path and encrypts them there, as the program encrypts a file with
// the password and the slider at its first step.
FileResult write_encrypted_document(const std::filesystem::path& path, const Bytes& plain);

// Writes the plain bytes as the strong file at `path` (a name ending in ".fxs"), with the
// cheapest password hash.
FileResult write_strong_document(const std::filesystem::path& path, const Bytes& plain);

} // namespace ferrocase::testing
