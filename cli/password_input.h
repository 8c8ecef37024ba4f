#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ferrocase::cli {

struct PasswordInput {
    std::string bytes; // Windows-1252, ready for the engine
    std::string error; // why the password was refused or could not be read
};

// The window's refusals, in the window's order: the two entries differ, the password is empty,
// a character has no Windows-1252 code. Both texts are UTF-8.
PasswordInput check_password(std::string_view utf8, std::string_view verification);

// The first line of a UTF-8 text file without its line end; "-" reads standard input.
PasswordInput password_from_file(const std::string& path);

// Asks twice on the controlling terminal, without echo.
PasswordInput password_from_terminal();

} // namespace ferrocase::cli
