#pragma once

#include <system_error>

namespace ferrocase {

// Why a strong file was refused. Version 1 files cannot tell a wrong password from damage and
// keep EngineError::wrong_password_or_damaged.
enum class StrongError {
    not_a_strong_file = 1,
    newer_version,
    iterations_beyond_limit,
    memory_beyond_limit,
    chunk_size_beyond_limit,
    wrong_password,
    damaged,
    empty_password,
    would_replace,
};

const std::error_category& strong_category();
std::error_code make_error_code(StrongError error);

} // namespace ferrocase

template <> struct std::is_error_code_enum<ferrocase::StrongError> : std::true_type {};
