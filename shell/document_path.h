#pragma once

#include <string>
#include <string_view>

namespace ferrocase {

// What follows the first "in=" (found in any letter case) and the one character after it, which
// stands for the opening quote, up to the next double quote or the end of the text. Empty when
// the text has no "in=". Works on UTF-8: the skipped character may take several bytes.
std::string path_after_in(std::string_view text);

} // namespace ferrocase
