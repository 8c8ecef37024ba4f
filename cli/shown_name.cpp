#include "cli/shown_name.h"

#include <cstdio>

namespace ferrocase::cli {
namespace {

// The length of the printable UTF-8 character at the start of `text`, or 0 when its first byte
// is a control character or not part of valid UTF-8.
std::size_t printable_length(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) {
        return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || text.size() < length) {
        return 0;
    }
    char32_t code = lead & (0x7F >> length);
    for (std::size_t index = 1; index < length; ++index) {
        const auto next = static_cast<unsigned char>(text[index]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (next & 0x3F);
    }
    constexpr char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool valid =
        code >= shortest[length] && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    const bool c1_control = code >= 0x80 && code <= 0x9F;
    return valid && !c1_control ? length : 0;
}

std::string escaped_byte(unsigned char byte) {
    switch (byte) {
    case '\a':
        return "\\a";
    case '\b':
        return "\\b";
    case '\t':
        return "\\t";
    case '\n':
        return "\\n";
    case '\v':
        return "\\v";
    case '\f':
        return "\\f";
    case '\r':
        return "\\r";
    default: {
        char octal[5];
        std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned>(byte));
        return octal;
    }
    }
}

} // namespace

std::string shown_name(std::string_view name) {
    bool plain = true;
    for (std::size_t at = 0; at < name.size() && plain;) {
        const std::size_t length = printable_length(name.substr(at));
        plain = length > 0;
        at += length;
    }
    if (plain) {
        return std::string(name);
    }
    std::string shown;
    bool in_escapes = false;
    bool in_quotes = false;
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t length = printable_length(name.substr(at));
        if (length == 0) {
            shown += in_quotes ? "'$'" : in_escapes ? "" : "$'";
            in_quotes = false;
            in_escapes = true;
            shown += escaped_byte(static_cast<unsigned char>(name[at++]));
            continue;
        }
        shown += in_escapes ? "''" : in_quotes ? "" : "'";
        in_escapes = false;
        in_quotes = true;
        const std::string_view character = name.substr(at, length);
        shown += character == "'" ? "'\\''" : std::string(character);
        at += length;
    }
    return shown + "'";
}

} // namespace ferrocase::cli
