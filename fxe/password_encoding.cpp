#include "fxe/password_encoding.h"

#include <array>
#include <cstdint>

namespace ferrocase {
namespace {

// Windows-1252 bytes 0x80..0x9F. The five bytes the code page leaves undefined map to the C1
// control of the same number, as Windows itself does; no two characters share a byte.
constexpr std::array<char32_t, 32> high_controls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char32_t replacement_character = 0xFFFD;

std::optional<std::uint8_t> windows1252_code(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
        return static_cast<std::uint8_t>(character);
    }
    for (std::size_t index = 0; index < high_controls.size(); ++index) {
        if (high_controls[index] == character) {
            return static_cast<std::uint8_t>(0x80 + index);
        }
    }
    return std::nullopt;
}

// Decodes UTF-8, turning every malformed sequence into U+FFFD.
std::u32string decode_utf8(std::string_view text) {
    std::u32string decoded;
    std::size_t index = 0;
    while (index < text.size()) {
        const auto lead = static_cast<std::uint8_t>(text[index]);
        std::size_t length = 0;
        char32_t code = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
            minimum = 0x10000;
        } else {
            decoded.push_back(replacement_character);
            ++index;
            continue;
        }
        bool valid = index + length <= text.size();
        for (std::size_t next = 1; valid && next < length; ++next) {
            const auto continuation = static_cast<std::uint8_t>(text[index + next]);
            valid = (continuation & 0xC0) == 0x80;
            code = (code << 6) | (continuation & 0x3F);
        }
        valid = valid && code >= minimum && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        decoded.push_back(valid ? code : replacement_character);
        index += valid ? length : 1;
    }
    return decoded;
}

} // namespace

EncodedPassword encode_windows1252(std::u32string_view text) {
    EncodedPassword result;
    result.bytes.reserve(text.size());
    for (std::size_t index = 0; index < text.size(); ++index) {
        const auto code = windows1252_code(text[index]);
        if (!code) {
            return {.bytes = {}, .unmappable = text[index], .unmappable_index = index};
        }
        result.bytes.push_back(static_cast<char>(*code));
    }
    return result;
}

EncodedPassword encode_windows1252_from_utf8(std::string_view utf8) {
    return encode_windows1252(decode_utf8(utf8));
}

} // namespace ferrocase
