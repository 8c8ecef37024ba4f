#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ferrocase {

// Edits the text of a freedesktop key file (a desktop entry, mimeapps.list) one key at a time,
// keeping every other line, comment and group as it was.

// The raw value of `key` in `group`, if present. Localised variants (Name[de]) are other keys.
std::optional<std::string> key_file_value(std::string_view content, std::string_view group,
                                          std::string_view key);

// The content with `key` in `group` set to `value`: the key's line is replaced in place, or added
// at the end of the group, which is appended when missing.
std::string with_key_file_value(std::string_view content, std::string_view group,
                                std::string_view key, std::string_view value);

// The content without the lines of `group` whose key and raw value `drop` picks.
std::string without_key_file_entries(
    std::string_view content, std::string_view group,
    const std::function<bool(std::string_view key, std::string_view value)>& drop);

// A string as a key file's value must hold it: backslashes, line breaks, tabs and a leading
// blank escaped.
std::string escaped_key_file_string(std::string_view text);

} // namespace ferrocase
