#include "strong/password_text.h"

#include "strong/key_derivation.h"

#include <cstdlib>
#include <memory>
#include <sodium.h>
#include <utf8proc.h>

namespace ferrocase {

std::optional<std::string> strong_password(std::string_view utf8) {
    utf8proc_uint8_t* normalised = nullptr;
    const auto length =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(utf8.data()),
                     static_cast<utf8proc_ssize_t>(utf8.size()), &normalised,
                     static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    if (length < 0) {
        return std::nullopt;
    }
    const auto size = static_cast<std::size_t>(length);
    // The normal form is the password itself: wiped before it goes back to the heap.
    const auto wipe_and_free = [size](utf8proc_uint8_t* bytes) {
        sodium_memzero(bytes, size);
        std::free(bytes);
    };
    const std::unique_ptr<utf8proc_uint8_t, decltype(wipe_and_free)> owner(normalised,
                                                                           wipe_and_free);
    return std::string(reinterpret_cast<const char*>(normalised), size);
}

std::optional<std::string> strong_password(std::u32string_view text) {
    std::string utf8;
    // Four bytes a character at most: no reallocation leaves a copy behind.
    utf8.reserve(text.size() * 4);
    for (const char32_t character : text) {
        utf8proc_uint8_t bytes[4];
        if (!utf8proc_codepoint_valid(static_cast<utf8proc_int32_t>(character))) {
            wipe(utf8);
            return std::nullopt;
        }
        const auto count = utf8proc_encode_char(static_cast<utf8proc_int32_t>(character), bytes);
        utf8.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(count));
        sodium_memzero(bytes, sizeof bytes);
    }
    auto password = strong_password(utf8);
    wipe(utf8);
    return password;
}

} // namespace ferrocase
