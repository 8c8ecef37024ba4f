#pragma once

#include <system_error>

namespace ferrocase {

// Failures the engine finds itself, beside those the operating system reports.
enum class EngineError {
    not_a_regular_file = 1,
    no_destination_name,
    short_write,
    in_use,
    size_changed,
    other_settings_pending,
    changed_since_interrupted,
    wrong_password_or_damaged,
    no_record_folder,
    record_damaged,
    record_unreadable,
    part_way,
    changed_during_run,
    same_destination,
};

const std::error_category& engine_category();
std::error_code make_error_code(EngineError error);

} // namespace ferrocase

template <> struct std::is_error_code_enum<ferrocase::EngineError> : std::true_type {};
