#pragma once

#include <string>
#include <string_view>

namespace ferrocase {

// Turns an open command in the Windows form (program shell in="%1", split by the rules of a
// Windows command line) into the value of a desktop entry's Exec key: "%1" becomes the field code
// %f, which must stand outside quotes, and everything else is quoted and escaped as the Exec key
// and the key file require.
std::string desktop_exec(std::string_view open_command);

} // namespace ferrocase
