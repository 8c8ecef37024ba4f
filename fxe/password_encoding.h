#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ferrocase {

// The key cursor is a 16-bit counter that must reach the length plus one.
constexpr std::size_t longest_password = 32766;

// The result of turning a password into the one-byte codes of Windows-1252.
struct EncodedPassword {
    std::string bytes;
    // Set when a character has no code in Windows-1252; bytes is then empty.
    std::optional<char32_t> unmappable;
    std::size_t unmappable_index = 0; // 0-based index of that character in the text

    bool ok() const { return !unmappable; }
};

EncodedPassword encode_windows1252(std::u32string_view text);

// For text read from files and terminals. An invalid UTF-8 sequence counts as unmappable
// (reported as U+FFFD).
EncodedPassword encode_windows1252_from_utf8(std::string_view utf8);

} // namespace ferrocase
