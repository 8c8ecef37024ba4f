#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ferrocase {

// What follows the first "in=" (found in any letter case) and the one character after it, which
// stands for the opening quote, up to the next double quote or the end of the text. Empty when
// the text has no "in=". Works on UTF-8: the skipped character may take several bytes.
std::string path_after_in(std::string_view text);

// The same, but only when that path makes up the whole argument: its closing quote ends the text
// or is followed by a blank. A path with a double quote of its own is cut short there, and is
// then not the document that was passed.
std::optional<std::string> whole_path_after_in(std::string_view text);

} // namespace ferrocase
