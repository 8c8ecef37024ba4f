#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ferrocase {

// A password for strong files as the key derivation takes it: UTF-8 in Unicode's composed
// normal form (NFC), so that the same typed text gives the same bytes on every desktop.
// Nothing when the text is not valid UTF-8.
std::optional<std::string> strong_password(std::string_view utf8);
std::optional<std::string> strong_password(std::u32string_view text);

} // namespace ferrocase
