#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ferrocase::cli {

// Its texts are wiped when it goes.
struct PasswordInput {
    std::string bytes;  // Windows-1252, ready for the engine; empty when legacy_error is set
    std::string error;  // why the password was refused or could not be read
    std::string strong; // NFC UTF-8, for strong (.fxs) files
    // Why .fxe files cannot use this password, which strong files still can.
    std::string legacy_error;

    PasswordInput() = default;
    PasswordInput(PasswordInput&&) = default;
    PasswordInput& operator=(PasswordInput&&) = default;
    ~PasswordInput();
};

// The window's refusals, in the window's order: the two entries differ, the password is empty;
// then the limits of .fxe files (a character without a Windows-1252 code, the length), which
// only bar the password from .fxe files. Both texts are UTF-8.
PasswordInput check_password(std::string_view utf8, std::string_view verification);

// Whether a password typed on a terminal is asked for a second time.
enum class Verification { typed_twice, none };

// The first line of a UTF-8 text file without its line end; "-" reads standard input, or asks
// when it is a terminal.
PasswordInput password_from_file(const std::string& path, Verification verification);

// Asks on the controlling terminal, without echo.
PasswordInput password_from_terminal(Verification verification);

} // namespace ferrocase::cli
