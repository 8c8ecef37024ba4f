#pragma once

#include <string>
#include <string_view>

namespace ferrocase::cli {

// A name as it is safe to print: unchanged when it is printable UTF-8, otherwise quoted the way
// a shell reads it back ('a'$'\n''b'), so that it stays on one line and sends the terminal no
// control sequence.
std::string shown_name(std::string_view name);

} // namespace ferrocase::cli
